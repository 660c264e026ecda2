#!/usr/bin/env bash
# Runs every test: both builds, the native tests, the Windows tests under Wine (private prefix, Xvfb),
# and a short run of each fuzz target. Exits non-zero on any failure.
set -uo pipefail
here=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
cd "$here"
bash scripts/setup.sh || exit 1

jobs=$(nproc 2>/dev/null || echo 2)
fail=0
step() { echo; echo "== $*"; }

step "native build"
{ cmake --preset native >/dev/null && cmake --build --preset native -j"$jobs"; } || exit 1
step "win64 build"
{ cmake --preset win64 >/dev/null && cmake --build --preset win64 -j"$jobs"; } || exit 1
step "fuzz build"
{ cmake --preset fuzz >/dev/null && cmake --build --preset fuzz -j"$jobs"; } || exit 1

step "native tests"
ctest --preset native || fail=1

step "Windows tests under Wine"
xvfb-run -a -s "-screen 0 1024x768x24" bash scripts/wine-tests.sh || fail=1

step "fuzz runs"
fuzz_seconds=${FUZZ_SECONDS:-20}
for target in build/fuzz/bin/fuzz_*; do
  [ -x "$target" ] || continue
  name=$(basename "$target" | sed 's/^fuzz_//')
  corpus=build/fuzz/corpus/$name
  mkdir -p "$corpus"
  flags=(-max_total_time="$fuzz_seconds" -rss_limit_mb=2048 -print_final_stats=0)
  [ -f "fuzz/$name.dict" ] && flags+=(-dict="fuzz/$name.dict")
  seeds=()
  [ -d "fuzz/corpus/$name" ] && seeds+=("fuzz/corpus/$name")
  if "$target" "${flags[@]}" "$corpus" "${seeds[@]}" \
       >"build/fuzz/$name.log" 2>&1; then
    echo "fuzz $name: ok (${fuzz_seconds}s)"
  else
    echo "fuzz $name: FAILED"; tail -n 40 "build/fuzz/$name.log"; fail=1
  fi
done

echo
[ "$fail" -eq 0 ] && echo "ALL TESTS PASSED" || echo "SOME TESTS FAILED"
exit "$fail"
