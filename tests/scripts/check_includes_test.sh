#!/usr/bin/env bash
# The include checker passes the tree as it is and fails each planted fault with its own message:
# an upward include, a Windows-only layer from a portable one, <windows.h> in a portable file.
set -euo pipefail
python=$1 checker=$2 rules=$3 src=$4
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cp -r "$src/src" "$src/tools" "$src/tests" "$src/fuzz" "$src/bench" "$src/examples" "$work/"

"$python" "$checker" "$rules" "$work" >/dev/null || { echo "the unchanged tree fails"; exit 1; }

expect_failure() {  # file line pattern
  local file=$1 line=$2 pattern=$3 out
  cp "$work/$file" "$work/$file.orig"
  printf '%s\n' "$line" >>"$work/$file"
  if out=$("$python" "$checker" "$rules" "$work" 2>&1); then
    echo "not caught: $line in $file"; exit 1
  fi
  grep -q -- "$pattern" <<<"$out" || { echo "wrong message for $line in $file:"; echo "$out"; exit 1; }
  mv "$work/$file.orig" "$work/$file"
}

expect_failure src/objects/cmp_TInstallContainer.cpp '#include "engine/cmp_TInstall.h"' \
  'objects includes engine/cmp_TInstall.h, but the layer engine is not among those it uses'
expect_failure src/core/classes.cpp '#include "ui/controls.h"' 'the portable core includes the Windows-only layer ui'
expect_failure src/archive/cmp_TVersion.cpp '#include <windows.h>' '<windows.h> in the portable layer archive'
expect_failure src/sys/files.h '#include <windows.h>' '<windows.h> in the portable layer sys'
expect_failure tests/core/routines_test.cpp '#include "dialogs/pages.h"' 'the portable test_core includes the Windows-only layer dialogs'
# A target folder inside another's: its files answer to their own target, and only to it.
expect_failure bench/install/install_win32.cpp '#include "lang/cmp_TTranslator.h"' \
  'bench_install includes lang/cmp_TTranslator.h, but the layer lang is not among those it uses'
expect_failure bench/archive.cpp '#include "ui/controls.h"' 'the portable bench includes the Windows-only layer ui'
echo "check_includes: every planted fault caught"
