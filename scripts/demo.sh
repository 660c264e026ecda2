#!/usr/bin/env bash
# The main job: builds everything, converts the demo project between its text and binary forms, and runs
# the shipped setup program under Wine (on a virtual display) to its good end, pressing Next on every
# page of its wizard and saving a picture of each in build/screenshots/demo.
set -euo pipefail
here=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
cd "$here"
bash scripts/setup.sh
jobs=$(nproc 2>/dev/null || echo 2)
cmake --preset native >/dev/null && cmake --build --preset native -j"$jobs"
cmake --preset win64 >/dev/null && cmake --build --preset win64 -j"$jobs"

out=build/demo
mkdir -p "$out"
build/native/bin/formconv to-binary examples/demo/sample.form.txt "$out/sample.form.bin"
build/native/bin/formconv to-text "$out/sample.form.bin" "$out/sample.form.txt"
cmp -s examples/demo/sample.form.txt "$out/sample.form.txt"
echo "Converted examples/demo/sample.form.txt to $out/sample.form.bin ($(wc -c <"$out/sample.form.bin") bytes) and back; the text is unchanged."

echo "Running setup.exe under Wine, pressing Next on every page..."
shots=build/screenshots/demo
rm -rf "$shots"
status=0
xvfb-run -a -s "-screen 0 1024x768x24" bash -c '
  export WINEPREFIX="$PWD/build/win64/wineprefix" WINEDEBUG=-all
  trap "wineserver -k >/dev/null 2>&1 || true" EXIT
  timeout 300 scripts/wine-run build/win64/bin/wizardwalk.exe "Z:$PWD/build/screenshots/demo" \
    build/win64/bin/setup.exe "-sC:\\Demo Distribution" </dev/null >"build/demo/setup.log" 2>&1
' || status=$?
cat build/demo/setup.log | tr -d '\r' | grep -E '^(page|message|exit code):' || true
if [ "$status" -ne 0 ]; then
  echo "setup.exe did not reach its good end (exit $status); see build/demo/setup.log" >&2
  exit 1
fi
echo "setup.exe ran the shipped project to its good end; a picture of each page is in $shots."
