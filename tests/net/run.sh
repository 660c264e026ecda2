#!/usr/bin/env bash
# Runs the net test program under Wine against real local servers: starts them (servers.py), hands
# their ports to the program through the environment, and stops them however the program ends.
# Usage: run.sh <test_net.exe> [arguments...]
set -euo pipefail
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
exe=$1
shift
python=/usr/bin/python3
[ -x "$python" ] || python=python3

root=$(mktemp -d /tmp/tav-net.XXXXXX)
"$python" "$here/servers.py" "$root" >"$root/servers.log" 2>&1 </dev/null &
servers=$!
stop() {
  kill "$servers" 2>/dev/null || true
  wait "$servers" 2>/dev/null || true
  rm -rf "$root"
}
trap stop EXIT

for _ in $(seq 1 300); do
  [ -f "$root/ports.env" ] && break
  if ! kill -0 "$servers" 2>/dev/null; then
    echo "run.sh: the test servers did not start:" >&2
    cat "$root/servers.log" >&2
    exit 1
  fi
  sleep 0.1
done
[ -f "$root/ports.env" ] || { echo "run.sh: the test servers did not report their ports" >&2; exit 1; }
set -a
# shellcheck disable=SC1091
. "$root/ports.env"
set +a
export TAV_NET_ROOT=$root
"$here/../../scripts/wine-run" "$exe" "$@"
