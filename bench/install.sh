#!/usr/bin/env bash
# Installing the peer kit's payloads with our installer beside the peer's silent install, in one run
# on this machine, and a table of the figures.
#
#   bench/install.sh             # both payloads, 5 runs of each installer
#   QUICK=1 bench/install.sh     # 3 runs of each
#
# Needs: the Windows build of bench_install (cmake --build --preset win64 --target bench_install),
#   nsis hyperfine wine64 python3 time xvfb (for the progress window).
# Knobs (environment):
#   BENCH_WORK  work folder (payloads, installers, archives, Wine prefix, installed trees, results);
#               default ${TMPDIR:-/tmp}/installer-bench
#   KIT         the peer kit (default /work/shared/bench)     PAYLOADS  "mixed small"
#   RUNS        timed runs of each installer (5; QUICK: 3)     SEED      20240601
#   NSIS_VARIANT  zlib (one deflate stream per file, as ours) or any variant of the kit's baseline.sh
#   BENCH_EXE   bench_install.exe (default: build/win64/bin/ of this tree)
#   INSTALLERS  which to run: "nsis plain status window" (ours plain, with status handlers, with the
#               progress window); nsis and plain are always among them
# Every run installs into a new folder; nothing is deleted while measuring (see the kit's README on
# this machine's ext4). Whole-process times are hyperfine's; ours also times its install run inside
# the process (install_s), without Wine's process start and the loading of the project.
set -euo pipefail

HERE=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
# The progress window needs a display; everything runs under the same one.
if [[ -z ${DISPLAY:-} && -z ${BENCH_UNDER_XVFB:-} ]]; then
    BENCH_UNDER_XVFB=1 exec xvfb-run -a -s "-screen 0 1024x768x24" "$0" "$@"
fi

KIT=${KIT:-/work/shared/bench}
WORK=${BENCH_WORK:-${TMPDIR:-/tmp}/installer-bench}
SEED=${SEED:-20240601}
PAYLOADS=${PAYLOADS:-mixed small}
if [[ -n ${QUICK:-} ]]; then RUNS=${RUNS:-3}; fi
RUNS=${RUNS:-5}
NSIS_VARIANT=${NSIS_VARIANT:-zlib}
BENCH_EXE=${BENCH_EXE:-$HERE/../build/win64/bin/bench_install.exe}
RES=$WORK/results
INSTALLERS=${INSTALLERS:-nsis plain status window}
export WINEPREFIX=$WORK/wineprefix
export WINEDEBUG=-all
export WINEDLLOVERRIDES="winemenubuilder.exe=d;mscoree=d;mshtml=d"
TARGET_UNIX=$WINEPREFIX/drive_c/bench

log() { printf '[install %(%H:%M:%S)T] %s\n' -1 "$*" >&2; }
q() { printf '%q' "$1"; }
# winepath now and then prints nothing on a loaded machine: asked again until it answers.
win() {
    local out i
    for i in 1 2 3 4 5; do
        out=$(winepath -w "$1" 2>/dev/null) && [[ -n $out ]] && { echo "$out"; return; }
        sleep 1
    done
    echo "install.sh: winepath gave no name for $1" >&2
    return 1
}

check_tools() {
    local missing=()
    [[ " $INSTALLERS " == *" nsis "* && " $INSTALLERS " == *" plain "* ]] ||
        { echo "install.sh: INSTALLERS must name nsis and plain" >&2; exit 2; }
    command -v makensis >/dev/null || missing+=(nsis)
    command -v hyperfine >/dev/null || missing+=(hyperfine)
    command -v wine >/dev/null || missing+=(wine64)
    command -v python3 >/dev/null || missing+=(python3)
    command -v x86_64-w64-mingw32-strip >/dev/null || missing+=(binutils-mingw-w64-x86-64)
    [[ $(type -P time) ]] || missing+=(time)
    if ((${#missing[@]})); then
        echo "install.sh: missing tools; install with: apt-get install -y ${missing[*]}" >&2
        exit 1
    fi
    [[ -f $BENCH_EXE ]] || {
        echo "install.sh: $BENCH_EXE is missing; build it with: cmake --build --preset win64 --target bench_install" >&2
        exit 1
    }
    [[ -f $KIT/gen_payload.py && -f $KIT/bench.nsi ]] || { echo "install.sh: no peer kit in $KIT" >&2; exit 1; }
}

nsis_flags() {
    case $1 in
    zlib) echo "-DCOMP=zlib" ;;
    zlib-solid) echo "-DCOMP=zlib -DSOLID" ;;
    lzma) echo "-DCOMP=lzma" ;;
    lzma-solid) echo "-DCOMP=lzma -DSOLID" ;;
    *) echo "install.sh: unknown NSIS variant $1" >&2; exit 2 ;;
    esac
}

# The kit's payload, generated once per generator and seed and reused while it still matches.
payload() {
    local kind=$1 dir=$WORK/payload/$1 stamp
    stamp="$(sha256sum "$KIT/gen_payload.py" | cut -d' ' -f1) seed=$SEED"
    if [[ -d $dir && -f $dir.info && "$(head -1 "$dir.info")" == "$stamp" ]] &&
        python3 "$KIT/verify_tree.py" "$dir.manifest" "$dir" >/dev/null; then
        log "payload $kind: reusing $dir"
        return
    fi
    log "payload $kind: generating"
    rm -rf "$dir" "$dir.tmp" "$dir.manifest" "$dir.info"
    mkdir -p "$WORK/payload"
    { echo "$stamp"; python3 "$KIT/gen_payload.py" "$kind" "$dir" --seed "$SEED"; } >"$dir.info.tmp"
    mv "$dir.info.tmp" "$dir.info"
}

# Deleting many files and creating as many at once is slow on this machine's ext4 for a while
# afterwards; dropping the page cache ends that window, else wait it out.
end_delete_window() {
    sync
    if [[ -w /proc/sys/vm/drop_caches ]]; then
        echo 3 >/proc/sys/vm/drop_caches
    else
        log "waiting 65 s for ext4's recently-deleted window to pass"
        sleep 65
    fi
}

stop_wine() { wineserver -k 2>/dev/null || true; wineserver -w 2>/dev/null || true; }

# The command line of one install of installer v (nsis, plain, status, window) into run folder dir.
install_cmd() {  # kind v dir
    local kind=$1 v=$2 dir=$3 flags=
    if [[ $v == nsis ]]; then
        echo "wine $(q "$WORK/nsis/$kind.exe") /S $(q "/D=C:\\bench\\$kind-nsis\\$dir") </dev/null >/dev/null 2>&1"
        return
    fi
    [[ $v == plain ]] || flags=--$v
    # The timed runs leave the checking to verify_tree.py below, out of the process's time.
    [[ $dir == rss ]] || flags="$flags --no-check"
    echo "wine $(q "$BENCH_EXE") install $(q "$(win "$WORK/payload/$kind")") $(q "$(win "$WORK/ours/$kind")")" \
        "$(q "C:\\bench\\$kind-$v\\$dir") $flags </dev/null >>$(q "$RES/$kind-$v.txt") 2>>$(q "$RES/$kind-$v.err")"
}

bench_payload() {
    local kind=$1 pay=$WORK/payload/$1 v i
    log "$kind: NSIS $NSIS_VARIANT installer"
    # shellcheck disable=SC2046  # the flags are meant to split into words
    makensis -V1 $(nsis_flags "$NSIS_VARIANT") -DPAYLOAD="$pay" -DOUTFILE="$WORK/nsis/$kind.exe" "$KIT/bench.nsi" >&2
    log "$kind: our archive"
    rm -rf "$WORK/ours/$kind"
    wine "$BENCH_EXE" build "$(win "$pay")" "$(win "$WORK/ours/$kind")" </dev/null \
        >"$RES/$kind-build.txt" 2>"$RES/$kind-build.err" || {
        cat "$RES/$kind-build.err" >&2
        exit 1
    }
    cat "$RES/$kind-build.txt" >&2

    log "$kind: one run of each installer for peak memory"
    for v in $INSTALLERS; do
        "$(type -P time)" -f %M -o "$RES/$kind-$v.rss" bash -c "$(install_cmd "$kind" "$v" rss)"
    done
    for v in $INSTALLERS; do  # the timed runs' lines apart from this one's
        [[ ! -f $RES/$kind-$v.txt ]] || mv "$RES/$kind-$v.txt" "$RES/$kind-$v.rss.txt"
    done
    # Interleaved, so that the drift of a shared machine falls on every installer alike.
    log "$kind: $RUNS timed runs of each installer, interleaved, each into a new folder"
    for i in $(seq 1 "$RUNS"); do
        for v in $INSTALLERS; do
            hyperfine --shell=bash --style=none --runs 1 --prepare sync \
                --export-json "$RES/$kind-$v-$i.json" "$(install_cmd "$kind" "$v" "$i")" >&2
        done
    done

    # Every installed tree against the kit's manifest, byte for byte.
    local dir extras good total
    : >"$RES/$kind.verify"
    for v in $INSTALLERS; do
        extras=()
        [[ $v == nsis ]] && extras=(--extra uninst.exe --extra NSISBench.lnk)
        good=0 total=0
        for dir in rss $(seq 1 "$RUNS"); do
            total=$((total + 1))
            python3 "$KIT/verify_tree.py" "$pay.manifest" "$TARGET_UNIX/$kind-$v/$dir" "${extras[@]}" \
                >>"$RES/$kind.verify" 2>&1 && good=$((good + 1))
        done
        echo "$v $good/$total" >>"$RES/$kind.verify"
        log "$kind: $v trees matching the manifest: $good/$total"
    done
}

report() {
    python3 - "$RES" "$RUNS" $PAYLOADS <<'EOF'
import json, re, statistics, sys
from pathlib import Path
res, runs, kinds = Path(sys.argv[1]), int(sys.argv[2]), sys.argv[3:]

def wall(name):  # median of the whole-process times, one file a run
    return statistics.median(json.loads(p.read_text())["results"][0]["mean"] for p in res.glob(f"{name}-[0-9]*.json"))

def lines(name):
    out = []
    for line in (res / f"{name}.txt").read_text().splitlines():
        fields = dict(f.split("=", 1) for f in line.split() if "=" in f)
        if line.startswith("install "):
            fields["ok"] = line.endswith(" ok")
            out.append(fields)
    return out

def rss(name):
    try:
        return int((res / f"{name}.rss").read_text().split()[-1]) / 1000  # kB -> MB
    except (OSError, ValueError, IndexError):
        return float("nan")

def verified(kind, v):
    for line in (res / f"{kind}.verify").read_text().splitlines():
        if line.startswith(v + " "):
            return line.split()[1]
    return "?"

print(f"{'payload':8} {'installer':14} {'wall s':>7} {'in-run s':>8} {'info s':>6} {'vs NSIS':>7} {'peak WS MB':>10} "
      f"{'max RSS MB':>10} {'cost':>7} {'trees':>6}")
for kind in kinds:
    nsis = wall(f"{kind}-nsis")
    build = (res / f"{kind}-build.txt").read_text().split()
    bf = dict(f.split("=", 1) for f in build if "=" in f)
    print(f"{kind:8} {'NSIS':14} {nsis:7.3f} {'':>8} {'':>6} {'1.00':>7} {'':>10} {rss(kind + '-nsis'):10.1f} {'':>7} "
          f"{verified(kind, 'nsis'):>6}")
    plain_run = None
    for mode in ("plain", "status", "window"):
        if not list(res.glob(f"{kind}-{mode}-[0-9]*.json")):
            continue
        ls = lines(f"{kind}-{mode}")
        w = wall(f"{kind}-{mode}")
        run = statistics.median(float(l["install_s"]) for l in ls) if ls else float("nan")
        peak = max(float(l["peak_ws_mb"]) for l in ls) if ls else float("nan")
        info = statistics.median(float(l["read_info_s"]) for l in ls) if ls else float("nan")
        bad = sum(1 for l in ls if not l["ok"]) + (runs - len(ls))
        if mode == "plain":
            plain_run = run
            cost = ""
        else:
            cost = f"{(run - plain_run) / plain_run * 100:+.1f}%"
        label = "ours" if mode == "plain" else f"ours --{mode}"
        display = ""
        if mode == "window" and ls and all("display_s" in l for l in ls):
            display = f"  (+{statistics.median(float(l['display_s']) for l in ls):.3f} s display start before the run)"
        print(f"{'':8} {label:14} {w:7.3f} {run:8.3f} {info:6.3f} {w / nsis:7.2f} {peak:10.1f} {rss(kind + '-' + mode):10.1f} "
              f"{cost:>7} {verified(kind, mode):>6}" + (f"  {bad} FAILED" if bad else "") + display)
    print(f"{'':8} {'(our build)':14} {float(bf['build_s']):7.3f}  s in-run, {int(bf['files'])} files, "
          f"{int(bf['bytes']) / 1e6:.1f} MB -> {int(bf['archive_bytes']) / 1e6:.1f} MB")
print()
print("wall: median whole-process time (hyperfine, warm wineserver); in-run: our install run timed inside the")
print("process, of which info: reading the archive's directory; vs NSIS: wall / NSIS wall; peak WS: the")
print("process's peak working set (GetProcessMemoryInfo); max RSS: /usr/bin/time of the Wine process;")
print("cost: in-run time against plain ours; the window's run starts with Wine's desktop and the common")
print("controls up, as the wizard's pages leave them (their start, display start, is in wall, not in-run);")
print("trees: installed trees that match the kit's manifest byte for byte.")
EOF
}

main() {
    check_tools
    mkdir -p "$WORK/nsis" "$WORK/ours"
    # Without its debug information, as a shipped program: Wine reads an image whose sections are
    # not page-aligned into memory whole, which would count tens of MB of it as working set.
    x86_64-w64-mingw32-strip -o "$WORK/bench_install.exe" "$BENCH_EXE"
    BENCH_EXE=$WORK/bench_install.exe
    rm -rf "$RES" "$TARGET_UNIX"
    mkdir -p "$RES"
    trap stop_wine EXIT
    local kind
    for kind in $PAYLOADS; do payload "$kind"; done
    if [[ ! -f $WINEPREFIX/system.reg ]]; then
        log "creating the Wine prefix"
        wineboot -i >/dev/null 2>&1 || true
        wineserver -w
    fi
    end_delete_window  # no deletes from here until the end
    # A virtual desktop, as on a user's screen: bare Xvfb has no window manager, and Wine waits for one
    # whenever a window is shown or hidden (seconds per run, which the progress window would be charged).
    wine reg add 'HKCU\Software\Wine\Explorer' /v Desktop /d Default /f </dev/null >/dev/null 2>&1 || true
    wine reg add 'HKCU\Software\Wine\Explorer\Desktops' /v Default /d 1024x768 /f </dev/null >/dev/null 2>&1 || true
    wineserver -w
    wineserver -p
    wine cmd /c exit </dev/null >/dev/null 2>&1 || true
    sleep 2
    for kind in $PAYLOADS; do bench_payload "$kind"; done
    stop_wine
    report | tee "$RES/table.txt"
    log "results in $RES; installed trees in $TARGET_UNIX"
}

main "$@"
