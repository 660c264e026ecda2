#!/usr/bin/env bash
# Runs the Windows tests under Wine inside the caller's X display; the private prefix lives in the
# build folder and its server is ended at the end so that no Wine process outlives the run.
set -uo pipefail
here=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
cd "$here"
export WINEPREFIX=$here/build/win64/wineprefix WINEDEBUG=-all WINEARCH=win64
trap 'wineserver -k >/dev/null 2>&1 || true' EXIT
# Start the prefix and its server detached from our pipes, then run the tests.
scripts/wine-run cmd /c exit </dev/null >/dev/null 2>&1 || true
# A second drive on another file system, for the pages that show the drives a project needs.
shm=/dev/shm; [ -d "$shm" ] && [ -w "$shm" ] || shm=/tmp
ln -sfn "$shm" "$WINEPREFIX/dosdevices/t:"
ctest --preset win64
