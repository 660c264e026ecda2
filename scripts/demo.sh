#!/usr/bin/env bash
# The main job: the whole story of the demo product under Wine (on a virtual display).
#   1. builds the toolkit (tvbuild, the stock setup program, the loading program, the uninstaller) and
#      the demo product (examples/demo: a program and a shared library with version resources, a readme,
#      a help file and its project);
#   2. builds the demo's self-extracting distribution from its project with tvbuild;
#   3. installs it as a user would, through the wizard, with a picture of every page;
#   4. checks the installed files byte for byte, the registry values, the shared library's count, the
#      uninstall registration and the shortcuts;
#   5. starts the installed program and checks that its window shows its version, then closes it;
#   6. uninstalls it with uninstall.exe -q and checks that nothing of it is left.
# Every line of the summary is a check that passed; any failed step stops the job with its reason.
set -euo pipefail
here=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
cd "$here"
if [ -z "${DEMO_UNDER_XVFB:-}" ]; then
  bash scripts/setup.sh
  DEMO_UNDER_XVFB=1 exec xvfb-run -a -s "-screen 0 1024x768x24" bash "$0" "$@"
fi

fail() {
  echo "demo: FAILED: $*" >&2
  exit 1
}
summary=()
passed() {
  summary+=("$*")
  echo "demo: $*"
}

export WINEPREFIX="$here/build/win64/wineprefix" WINEDEBUG=-all
trap 'wineserver -k >/dev/null 2>&1 || true' EXIT
out=build/demo
bin=build/win64/bin
stage=build/win64/demo
shots=build/screenshots/demo
rm -rf "$out" "$shots" "$shots-screen.png" build/screenshots/demo-program.png
mkdir -p "$out"
winpath() {
  local p
  p=$(realpath -m -- "$1")
  printf 'Z:%s' "${p//\//\\}"
}
# Wine's programs write to files, never into a pipe: their helper processes would hold it open.
wine_run() {
  local log=$1
  shift
  timeout 600 scripts/wine-run "$@" </dev/null >"$log" 2>&1
}
crlf() { tr -d '\r' <"$1"; }

# 1. The toolkit and the demo product.
jobs=$(nproc 2>/dev/null || echo 2)
cmake --preset win64 >"$out/configure.log" 2>&1 || { cat "$out/configure.log" >&2; fail "the build could not be configured"; }
cmake --build --preset win64 -j"$jobs" --target tvbuild wizardwalk windowcheck demo_product ||
  fail "the toolkit or the demo product did not build"
for f in tvbuild.exe setup-release.exe TavenrikLoadProgram.exe uninstall-release.exe T32V35.TXT; do
  [ -s "$bin/$f" ] || fail "the toolkit folder $bin lacks $f"
done
for f in demo.txt bin/demoapp.exe bin/demolib.dll docs/readme.txt docs/help.htm; do
  [ -s "$stage/$f" ] || fail "the demo product's $stage/$f was not made"
done
passed "built the toolkit in $bin and the demo product (demoapp.exe, demolib.dll, readme, help, project) in $stage"

# 2. The distribution, with tvbuild from the project alone.
dist=$out/dist
wine_run "$out/tvbuild.log" "$bin/tvbuild.exe" "$(winpath "$stage/demo.txt")" "$(winpath "$dist")" ||
  { crlf "$out/tvbuild.log" >&2; fail "tvbuild could not build the demo distribution"; }
for f in setup.exe setup.1 files.1; do [ -s "$dist/$f" ] || fail "tvbuild made no $dist/$f"; done
tail -c 56 "$dist/setup.exe" | head -c 15 | tail -c 14 | grep -q '^SELFEXTRACTING$' ||
  fail "$dist/setup.exe is not self-extracting (no trailer)"
size=$(stat -c %s "$dist/setup.exe")
passed "tvbuild built the self-extracting $dist/setup.exe ($size bytes) from $stage/demo.txt"

# What an earlier run left goes first, so the checks below see only this run's work.
drive_c=$WINEPREFIX/drive_c
installed="$drive_c/Program Files/Tavenrik Demo App"
shared="$drive_c/Program Files/Common Files/Tavenrik Shared"
shopt -s nullglob
menus=("$drive_c"/users/*/AppData/Roaming/Microsoft/Windows/"Start Menu"/Programs "$drive_c"/ProgramData/Microsoft/Windows/"Start Menu"/Programs)
rm -rf "$installed" "$shared"
for m in "${menus[@]}"; do rm -rf "$m/Tavenrik Demo App"; done
product_key='HKLM\Software\Tavenrik Demo\Tavenrik Demo App'
settings_key='HKCU\Software\Tavenrik Demo\Tavenrik Demo App\Settings'
uninstall_key='HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall\Tavenrik Demo App'
shared_key='HKLM\Software\Microsoft\Windows\CurrentVersion\SharedDLLs'
dll_path='C:\Program Files\Common Files\Tavenrik Shared\demolib.dll'
cat >"$out/clean.bat" <<EOF
@reg delete "$settings_key" /f
@reg delete "HKCU\\Software\\Tavenrik Demo" /f
@reg delete "$product_key" /f
@reg delete "HKLM\\Software\\Tavenrik Demo" /f
@reg delete "$uninstall_key" /f
@reg delete "$shared_key" /v "$dll_path" /f
@exit 0
EOF
wine_run "$out/clean.log" cmd /c "$(winpath "$out/clean.bat")" || true

# Every registry value the checks read, in one Windows command.
query() {
  cat >"$out/query.bat" <<EOF
@reg query "$product_key" > "$(winpath "$out/$1-product.txt")" 2>&1
@reg query "$settings_key" > "$(winpath "$out/$1-settings.txt")" 2>&1
@reg query "$uninstall_key" > "$(winpath "$out/$1-uninstall.txt")" 2>&1
@reg query "$shared_key" /v "$dll_path" > "$(winpath "$out/$1-shared.txt")" 2>&1
@reg query "HKLM\\Software\\Tavenrik Demo" > "$(winpath "$out/$1-company-hklm.txt")" 2>&1
@reg query "HKCU\\Software\\Tavenrik Demo" > "$(winpath "$out/$1-company-hkcu.txt")" 2>&1
@exit 0
EOF
  wine_run "$out/query.log" cmd /c "$(winpath "$out/query.bat")" || true
}

# 3. The install, as a user starts the downloaded setup.exe, through every page of the wizard.
mkdir -p "$out/download"
cp "$dist/setup.exe" "$out/download/setup.exe"
status=0
wine_run "$out/install.log" "$bin/wizardwalk.exe" "$(winpath "$shots")" "$(winpath "$out/download/setup.exe")" || status=$?
crlf "$out/install.log" | grep -E '^(page|message|exit code):' || true
[ "$status" -eq 0 ] || fail "the install did not end well (exit $status); see $out/install.log"
crlf "$out/install.log" | grep -q '^message:' && fail "the install showed a message box; see $out/install.log"
last=$(crlf "$out/install.log" | grep '^page: ' | tail -1 || true)
[ "$last" = "page: Setup complete" ] || fail "the install did not reach \"Setup complete\" (last: ${last:-none})"
pages=$(crlf "$out/install.log" | grep -c '^page: ' || true)
saved=0
while IFS= read -r line; do
  win=${line#picture: }
  unix=${win#Z:}
  unix=${unix//\\//}
  [ -s "$unix" ] || fail "the walk claims the picture $unix, which is not there"
  saved=$((saved + 1))
done < <(crlf "$out/install.log" | grep '^picture: ')
pictures=$(find "$shots" -name '*.png' | wc -l)
[ "$pictures" -eq "$pages" ] || fail "the wizard showed $pages pages but $shots holds $pictures pictures"
[ "$saved" -eq $((pages + 1)) ] || fail "the walk saved $saved pictures for $pages pages and the screen"
passed "installed through the wizard: $pages pages, to \"Setup complete\"; a picture of each is in $shots (the whole screen in $shots-screen.png)"

# 4. What the install left: files, registry values, the library's count, the registration, shortcuts.
check_file() {
  cmp -s "$1" "$2" || fail "the install did not put $2 in place byte for byte (from $1)"
}
check_file "$stage/bin/demoapp.exe" "$installed/demoapp.exe"
check_file "$stage/docs/readme.txt" "$installed/readme.txt"
check_file "$stage/docs/help.htm" "$installed/Help/help.htm"
check_file "$bin/uninstall-release.exe" "$installed/uninstall.exe"
check_file "$stage/bin/demolib.dll" "$shared/demolib.dll"
passed "installed demoapp.exe, readme.txt, Help\\help.htm and uninstall.exe in C:\\Program Files\\Tavenrik Demo App and the shared demolib.dll in Common Files\\Tavenrik Shared, byte for byte"

query installed
literal() { printf '%s' "$1" | sed 's/[][\\.*^$()+?{}|]/\\&/g'; }
expect_value() {  # file, value name, type, data
  crlf "$1" | grep -qiE "^ +$(literal "$2") +$3 +$(literal "$4")\$" ||
    fail "the registry does not hold $2 ($3) = $4; see $1"
}
expect_value "$out/installed-product.txt" InstallFolder REG_SZ 'C:\Program Files\Tavenrik Demo App'
expect_value "$out/installed-product.txt" LibraryFolder REG_SZ 'C:\Program Files\Common Files\Tavenrik Shared'
expect_value "$out/installed-product.txt" Version REG_SZ '1.2.0'
expect_value "$out/installed-settings.txt" ShowLibrary REG_DWORD 0x1
expect_value "$out/installed-settings.txt" WindowWidth REG_DWORD 0x1a4
expect_value "$out/installed-shared.txt" "$dll_path" REG_DWORD 0x1
crlf "$out/installed-uninstall.txt" | grep -qi 'UninstallString.*Tavenrik Demo App\\uninstall\.exe" "Tavenrik Demo App"' ||
  fail "the product is not registered for uninstalling; see $out/installed-uninstall.txt"
passed "the registry holds the product's folders and version (HKLM), its settings (HKCU), the shared library's count 1 and the uninstall registration"

menu=""
for m in "${menus[@]}"; do [ -d "$m/Tavenrik Demo App" ] && menu="$m/Tavenrik Demo App"; done
[ -n "$menu" ] || fail "the install made no Start menu folder \"Tavenrik Demo App\""
check_link() {  # shortcut, the target it must name
  [ -s "$menu/$1" ] || fail "the install made no shortcut $1 in the Start menu folder"
  tr -d '\000' <"$menu/$1" | grep -aqiF "$2" || fail "the shortcut $1 does not point at $2"
}
check_link "Tavenrik Demo App.lnk" 'C:\Program Files\Tavenrik Demo App\demoapp.exe'
check_link "Help.lnk" 'C:\Program Files\Tavenrik Demo App\Help\help.htm'
passed "the Start menu folder \"Tavenrik Demo App\" holds shortcuts to demoapp.exe and to Help\\help.htm"

# 5. The installed program: its window shows its version and the shared library's, and it closes.
wine_run "$out/program.log" "$bin/windowcheck.exe" "$(winpath "build/screenshots/demo-program.png")" \
  'C:\Program Files\Tavenrik Demo App\demoapp.exe' || { crlf "$out/program.log" >&2; fail "the installed program did not show its window and close cleanly"; }
for line in 'caption: Tavenrik Demo App' 'text: Tavenrik Demo App version 1.2.0.0' 'text: Shared library version 1.0.3.0' 'exit code: 0'; do
  crlf "$out/program.log" | grep -qxF "$line" || fail "the installed program's window lacks \"$line\"; see $out/program.log"
done
[ -s build/screenshots/demo-program.png ] || fail "no picture of the program's window was saved"
passed "the installed demoapp.exe showed \"Tavenrik Demo App version 1.2.0.0\" and \"Shared library version 1.0.3.0\" (picture: build/screenshots/demo-program.png) and ended with 0 when closed"

# 6. The uninstall, without a window, and what is left of the product afterwards: nothing.
status=0
wine_run "$out/uninstall.log" 'C:\Program Files\Tavenrik Demo App\uninstall.exe' -q "Tavenrik Demo App" || status=$?
[ "$status" -eq 0 ] || { crlf "$out/uninstall.log" >&2; fail "uninstall.exe -q \"Tavenrik Demo App\" exited with $status"; }
# The uninstaller finishes from its temporary copy: give it a moment to remove its own folder.
for _ in $(seq 1 60); do [ -e "$installed" ] || break; sleep 0.5; done
[ ! -e "$installed" ] || fail "the uninstall left $installed: $(find "$installed" | head -5 | tr '\n' ' ')"
[ ! -e "$shared" ] || fail "the uninstall left the shared library's folder $shared"
[ ! -e "$menu" ] || fail "the uninstall left the Start menu folder $menu"
query removed
for f in product settings uninstall shared company-hklm company-hkcu; do
  [ -f "$out/removed-$f.txt" ] || fail "the registry could not be read after the uninstall ($out/removed-$f.txt is missing)"
  crlf "$out/removed-$f.txt" | grep -q 'Unable to find' || fail "the uninstall left registry keys or values; see $out/removed-$f.txt"
done
passed "uninstall.exe -q \"Tavenrik Demo App\" ended with 0 and left no file, folder, shortcut, registry key or value of the product (the shared library went with its last user)"

echo
echo "The demo product, from its project to its removal:"
for s in "${summary[@]}"; do echo "  - $s"; done
