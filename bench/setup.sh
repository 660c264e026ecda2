#!/usr/bin/env bash
# The toolkit's own path beside the peer: each payload built into a distribution with tvbuild (against
# makensis) and installed with `setup.exe -q` (against the peer's silent install), alternating, each
# install into a new folder, every tree checked against the kit's manifest.
#
#   bench/install.sh first (it makes the payloads, the peer's installers and the Wine prefix), then
#   bench/setup.sh               # 5 runs each;  QUICK=1: 3;  PAYLOADS="small" for one payload
#
# Needs the Windows build's tvbuild and setup-release.exe (cmake --build --preset win64).
set -euo pipefail
HERE=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
# The build mode makes the wizard's forms: it needs a display.
if [[ -z ${DISPLAY:-} && -z ${BENCH_UNDER_XVFB:-} ]]; then
    BENCH_UNDER_XVFB=1 exec xvfb-run -a -s "-screen 0 1024x768x24" "$0" "$@"
fi
KIT=${KIT:-/work/shared/bench}
WORK=${BENCH_WORK:-${TMPDIR:-/tmp}/installer-bench}
PAYLOADS=${PAYLOADS:-mixed small}
if [[ -n ${QUICK:-} ]]; then RUNS=${RUNS:-3}; fi
RUNS=${RUNS:-5}
BIN=${TOOLKIT_BIN:-$HERE/../build/win64/bin}
export WINEPREFIX=$WORK/wineprefix WINEDEBUG=-all
export WINEDLLOVERRIDES="winemenubuilder.exe=d;mscoree=d;mshtml=d"
RES=$WORK/results-setup
TARGET_UNIX=$WINEPREFIX/drive_c/bench

log() { printf '[setup %(%H:%M:%S)T] %s\n' -1 "$*" >&2; }
q() { printf '%q' "$1"; }
win() { local p; p=$(realpath -m -- "$1"); printf 'Z:%s' "${p//\//\\}"; }

for f in "$BIN/tvbuild.exe" "$BIN/setup-release.exe"; do
    [[ -f $f ]] || { echo "setup.sh: $f is missing; build the toolkit (cmake --build --preset win64)" >&2; exit 1; }
done
[[ -f $WINEPREFIX/system.reg ]] || { echo "setup.sh: run bench/install.sh first (it makes $WORK)" >&2; exit 1; }
command -v hyperfine >/dev/null || { echo "setup.sh: hyperfine is missing" >&2; exit 1; }

# A project with a group and one install file per payload file, in the payload's folders.
project() {  # kind
    python3 - "$WORK/payload/$1" "$(win "$WORK/payload/$1")" <<'PY'
import os, sys
root, winroot = sys.argv[1], sys.argv[2]
out = ["object Form1: TForm1", "  Caption = 'Install benchmark'"]
for s in ("psContainerArchiveFile", "psContainerDestDir", "psMainInstall", "psProgramFiles", "psMainArchiveFile"):
    out += [f"  object {s}: T{s}", "  end"]
out += ["  object Install1: TInstall", "    Information.ProductName = 'Install benchmark'",
        "    DestDir = '\\Install benchmark'", "  end",
        "  object Group1: TInstallFileGroup", "    ArchiveFileType = psContainerArchiveFile",
        "    Container = Install1", "    DestDirType = psContainerDestDir", "    GroupName = 'Payload'", "  end"]
n = 0
for folder, _, names in sorted(os.walk(root)):
    rel = os.path.relpath(folder, root)
    for name in sorted(names):
        n += 1
        src = winroot + ("" if rel == "." else "\\" + rel.replace("/", "\\"))
        out += [f"  object F{n}: TInstallFile", "    ArchiveFileType = psContainerArchiveFile",
                "    Container = Group1", "    DestDirType = psContainerDestDir"]
        if rel != ".":
            out.append("    DestDir = '\\" + rel.replace("/", "\\") + "'")
        out += [f"    DestName = '{name}'", f"    FileName = '{name}'", f"    IncludeFromDir = '{src}'",
                f"    Order = {n - 1}", f"    UniqueID = {n}", "  end"]
out.append("end")
print("\n".join(out))
PY
}

mkdir -p "$RES"
wineserver -p 2>/dev/null || true  # a server may be running already
wine cmd /c exit </dev/null >/dev/null 2>&1 || true
for kind in $PAYLOADS; do
    pay=$WORK/payload/$kind
    [[ -f $WORK/nsis/$kind.exe ]] || { echo "setup.sh: $WORK/nsis/$kind.exe is missing; run bench/install.sh" >&2; exit 1; }
    mkdir -p "$WORK/tv/$kind"
    project "$kind" >"$WORK/tv/$kind/project.txt"
    log "$kind: building, makensis and tvbuild alternating, $RUNS runs each"
    for i in $(seq 1 "$RUNS"); do
        hyperfine --shell=bash --style=none --runs 1 --export-json "$RES/$kind-makensis-$i.json" \
            "makensis -V1 -DCOMP=zlib -DPAYLOAD=$(q "$pay") -DOUTFILE=$(q "$WORK/tv/$kind/nsis.exe") $(q "$KIT/bench.nsi")" >&2
        hyperfine --shell=bash --style=none --runs 1 --prepare "rm -rf $(q "$WORK/tv/$kind/dist")" \
            --export-json "$RES/$kind-tvbuild-$i.json" \
            "wine $(q "$BIN/tvbuild.exe") $(q "$(win "$WORK/tv/$kind/project.txt")") $(q "$(win "$WORK/tv/$kind/dist")") </dev/null >$(q "$RES/$kind-tvbuild.log") 2>&1" >&2
    done
    log "$kind: installing, the peer's /S and setup.exe -q alternating, $RUNS runs each, each into a new folder"
    for i in $(seq 1 "$RUNS"); do
        hyperfine --shell=bash --style=none --runs 1 --prepare sync --export-json "$RES/$kind-nsis-$i.json" \
            "wine $(q "$WORK/nsis/$kind.exe") /S $(q "/D=C:\\bench\\$kind-nsis2\\$i-$$") </dev/null >/dev/null 2>&1" >&2
        hyperfine --shell=bash --style=none --runs 1 --prepare sync --export-json "$RES/$kind-setup-$i.json" \
            "wine $(q "$WORK/tv/$kind/dist/setup.exe") -q $(q "-pC:\\bench\\$kind-setup\\$i-$$") </dev/null >/dev/null 2>&1" >&2
        python3 "$KIT/verify_tree.py" "$pay.manifest" "$TARGET_UNIX/$kind-setup/$i-$$" \
            >"$RES/$kind-verify-$i.txt" 2>&1 || { cat "$RES/$kind-verify-$i.txt" >&2; echo "setup.sh: run $i's tree differs" >&2; exit 1; }
    done
    ls -l "$WORK/tv/$kind/dist" >"$RES/$kind-dist.txt"  # the self-extracting setup.exe is what a user gets
done
wineserver -k || true

python3 - "$RES" "$WORK" $PAYLOADS <<'PY'
import json, statistics, sys
from pathlib import Path
res, work, kinds = Path(sys.argv[1]), Path(sys.argv[2]), sys.argv[3:]
med = lambda k, v: statistics.median(json.loads(p.read_text())["results"][0]["mean"] for p in res.glob(f"{k}-{v}-[0-9]*.json"))
size = lambda p: Path(p).stat().st_size if Path(p).is_file() else sum(f.stat().st_size for f in Path(p).rglob("*") if f.is_file())
print(f"{'payload':8} {'makensis s':>10} {'tvbuild s':>10} {'ratio':>6} {'NSIS MB':>8} {'ours MB':>8}   {'NSIS /S s':>9} {'setup -q s':>10} {'ratio':>6}")
for k in kinds:
    mb, tb, ni, si = med(k, "makensis"), med(k, "tvbuild"), med(k, "nsis"), med(k, "setup")
    print(f"{k:8} {mb:10.3f} {tb:10.3f} {tb/mb:6.2f} {size(work/'tv'/k/'nsis.exe')/1e6:8.1f} {size(work/'tv'/k/'dist'/'setup.exe')/1e6:8.1f}   {ni:9.3f} {si:10.3f} {si/ni:6.2f}")
PY
