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
# What an earlier run installed goes first, so the check below sees only this run's work.
installed="build/win64/wineprefix/drive_c/Program Files/Tavenrik Demo"
rm -rf "$installed"
# The Start menu folder the walk keeps (the project's own), in every user profile of the prefix.
shopt -s nullglob
for d in build/win64/wineprefix/drive_c/users/*/AppData/Roaming/Microsoft/Windows/"Start Menu"/Programs/"Demo Product"; do
  rm -rf "$d"
done
status=0
xvfb-run -a -s "-screen 0 1024x768x24" bash -c '
  export WINEPREFIX="$PWD/build/win64/wineprefix" WINEDEBUG=-all
  trap "wineserver -k >/dev/null 2>&1 || true" EXIT
  timeout 300 scripts/wine-run build/win64/bin/wizardwalk.exe "Z:$PWD/build/screenshots/demo" \
    build/win64/bin/setup.exe "-sZ:$PWD/build/win64/bin" </dev/null >"build/demo/setup.log" 2>&1
' || status=$?
cat build/demo/setup.log | tr -d '\r' | grep -E '^(page|message|exit code):' || true
# The failure page also ends with exit code 0: the good end is the "Setup complete" page.
if [ "$status" -ne 0 ] || ! tr -d '\r' <build/demo/setup.log | grep -q '^page: .*Setup complete'; then
  echo "setup.exe did not reach its good end (exit $status); see build/demo/setup.log" >&2
  exit 1
fi
pages=$(tr -d '\r' <build/demo/setup.log | grep -c '^page: ' || true)
pictures=$(find "$shots" -name '*.png' 2>/dev/null | wc -l)
if [ "$pictures" -ne "$pages" ]; then
  echo "setup.exe showed $pages pages but $pictures pictures are in $shots" >&2
  exit 1
fi
for f in readme.txt license.txt Help/help.txt Samples/sample.txt; do
  if ! cmp -s "examples/demo/payload/$(basename "$f")" "$installed/$f"; then
    echo "setup.exe did not install $f into $installed" >&2
    exit 1
  fi
done
if ! cmp -s build/win64/bin/uninstall.exe "$installed/uninstall.exe"; then
  echo "setup.exe did not install uninstall.exe into $installed" >&2
  exit 1
fi
# The product is registered for uninstalling under its name.
WINEPREFIX="$PWD/build/win64/wineprefix" WINEDEBUG=-all timeout 120 scripts/wine-run reg query \
  'HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall\Demo Product' /v UninstallString \
  </dev/null >build/demo/uninstall-key.txt 2>&1 || true
WINEPREFIX="$PWD/build/win64/wineprefix" wineserver -k >/dev/null 2>&1 || true
if ! tr -d '\r' <build/demo/uninstall-key.txt | grep -qi 'UninstallString.*uninstall\.exe" "Demo Product"'; then
  echo "setup.exe did not register Demo Product for uninstalling; see build/demo/uninstall-key.txt" >&2
  exit 1
fi
shortcuts=(build/win64/wineprefix/drive_c/users/*/AppData/Roaming/Microsoft/Windows/"Start Menu"/Programs/"Demo Product")
for f in Readme.lnk License.lnk; do
  if [ "${#shortcuts[@]}" -ne 1 ] || [ ! -s "${shortcuts[0]}/$f" ]; then
    echo "setup.exe did not make the shortcut $f in the Start menu folder Demo Product" >&2
    exit 1
  fi
  target=$(tr -d '\000' <"${shortcuts[0]}/$f" | grep -aoi 'C:\\Program Files\\Tavenrik Demo\\[a-z]*\.txt' | head -1 || true)
  if [ -z "$target" ]; then
    echo "the shortcut $f does not point into C:\\Program Files\\Tavenrik Demo" >&2
    exit 1
  fi
  echo "Shortcut Start Menu\\Programs\\Demo Product\\$f points at $target."
done
echo "setup.exe ran the shipped project to its good end and installed readme.txt, license.txt, Help\\help.txt, Samples\\sample.txt and uninstall.exe, byte for byte, into C:\\Program Files\\Tavenrik Demo, registered it for uninstalling and made its shortcuts in the Start menu; a picture of each of its $pages pages is in $shots."
