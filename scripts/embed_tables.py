#!/usr/bin/env python3
"""Writes a project's text form with its language tables inside: a TTranslator named Translator1 is
added as the last component of the root, each table file (tvri<Language>.txt) filling its language's
Strings. Usage: embed_tables.py FORM TABLE_DIR OUT"""
import pathlib
import sys

# The translator's published languages, in its order; a language without a file carries no table.
LANGUAGES = ["ChineseSimplified", "Czech", "Danish", "English", "French", "German", "Greek", "Hebrew",
             "Italian", "Japanese", "Korean", "Polish", "Portugese", "Russian", "Spanish", "Vietnamese"]


def quoted(line: str) -> str:
    return "'" + line.replace("'", "''") + "'"


def translator(table_dir: pathlib.Path, indent: str) -> list:
    out = [f"{indent}object Translator1: TTranslator"]
    for name in LANGUAGES:
        table = table_dir / f"tvri{name}.txt"
        if not table.exists():
            continue
        lines = [l.rstrip("\r") for l in table.read_text(encoding="utf-8-sig").split("\n")]
        lines = [l for l in lines if l.strip()]
        if not lines:
            continue
        out.append(f"{indent}  lg{name}.Strings.Strings = (")
        out += [f"{indent}    {quoted(l)}" for l in lines[:-1]]
        out.append(f"{indent}    {quoted(lines[-1])})")
    out.append(f"{indent}end")
    return out


def main() -> int:
    form, table_dir, target = pathlib.Path(sys.argv[1]), pathlib.Path(sys.argv[2]), pathlib.Path(sys.argv[3])
    lines = form.read_text(encoding="utf-8-sig").rstrip("\n").split("\n")
    # The root's own "end" is the last line that is not indented.
    last = max(i for i, l in enumerate(lines) if l.strip() == "end" and not l.startswith(" "))
    lines[last:last] = translator(table_dir, "  ")
    text = "\n".join(lines) + "\n"
    if not target.exists() or target.read_text(encoding="utf-8") != text:
        target.write_text(text, encoding="utf-8")
    return 0


if __name__ == "__main__":
    sys.exit(main())
