#!/usr/bin/env bash
# The main job: builds everything and converts the demo project between its text and binary forms.
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
