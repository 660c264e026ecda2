#!/usr/bin/env python3
"""Checks that every source file includes only the layers its target names.

The build writes the rules (one line a target: name, kind, folder, the layers it uses) to a file and
passes it here; a file belongs to the innermost target folder that holds it. A file fails when it includes a layer its target does not name, a Windows-only layer
from a portable target, or <windows.h> from a portable layer outside a *_win32.cpp file. A target
that names a layer none of its files include fails too, so the build says exactly what is used.
"""
import re
import sys
from pathlib import Path

INCLUDE = re.compile(r'^\s*#\s*include\s*([<"])([^>"]+)[>"]')
SOURCE_SUFFIXES = {".cpp", ".h"}


def read_rules(path):
    targets = []
    for line in Path(path).read_text().splitlines():
        if not line.strip() or line.startswith("#"):
            continue
        name, kind, folder, *uses = line.split()
        targets.append({"name": name, "kind": kind, "folder": folder, "uses": set(uses)})
    return targets


def main(argv):
    if len(argv) != 3:
        print("usage: check_includes.py RULES SOURCE_ROOT", file=sys.stderr)
        return 2
    targets = read_rules(argv[1])
    root = Path(argv[2])
    layers = {t["name"]: t for t in targets if t["kind"] in ("portable", "windows")}
    portable = {"portable", "test-portable", "tool-portable"}
    problems = []
    folders = {Path(t["folder"]) for t in targets}
    for t in targets:
        folder = root / t["folder"]
        # A folder of another target inside this one holds that target's files.
        nested = [f for f in folders if f != Path(t["folder"]) and Path(t["folder"]) in f.parents]
        if not folder.is_dir():
            problems.append(f"{t['folder']}: folder of target {t['name']} is missing")
            continue
        included = set()
        for f in sorted(p for p in folder.rglob("*") if p.suffix in SOURCE_SUFFIXES):
            rel = f.relative_to(root)
            if any(n in rel.parents for n in nested):
                continue
            for number, line in enumerate(f.read_text(errors="replace").splitlines(), 1):
                m = INCLUDE.match(line)
                if not m:
                    continue
                quote, header = m.groups()
                where = f"{rel}:{number}"
                if quote == "<":
                    if header.lower() == "windows.h" and t["kind"] in portable and not f.name.endswith("_win32.cpp"):
                        problems.append(f"{where}: <windows.h> in the portable layer {t['name']} outside a *_win32.cpp file")
                    continue
                layer = header.split("/", 1)[0] if "/" in header else None
                if layer not in layers or layer == t["name"]:
                    continue
                included.add(layer)
                if t["kind"] in portable and layers[layer]["kind"] == "windows":
                    problems.append(f"{where}: the portable {t['name']} includes the Windows-only layer {layer} ({header})")
                elif layer not in t["uses"]:
                    problems.append(f"{where}: {t['name']} includes {header}, but the layer {layer} is not among those it uses ({' '.join(sorted(t['uses'])) or 'none'})")
        for unused in sorted(t["uses"] - included - {"zlib"}):
            problems.append(f"{t['folder']}: {t['name']} names the layer {unused} but includes nothing of it")
    for p in problems:
        print(p)
    if problems:
        print(f"check_includes: {len(problems)} problem(s)", file=sys.stderr)
        return 1
    print(f"check_includes: {len(targets)} targets, layering holds")
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
