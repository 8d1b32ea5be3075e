#!/usr/bin/env python3
"""Writes CaseFoldingTable.inc: Unicode's simple case folding (statuses C and S) as sorted pairs.

Usage: make_case_folding.py [--check] [CaseFolding.txt] [output]
Defaults: /usr/share/unicode/CaseFolding.txt (Debian's unicode-data) and the table beside this script.
The table is committed; the text library's tests run this again and compare, so it cannot drift from
the data it was made from (--check: status 1 when the committed table differs).
"""
import pathlib
import sys

HERE = pathlib.Path(__file__).resolve().parent


def pairs(source):
    folds = []
    version = None
    for line in source.read_text(encoding="utf-8").splitlines():
        if line.startswith("# CaseFolding-"):
            version = line[2:].strip()
        data = line.split("#", 1)[0].strip()
        if not data:
            continue
        code, status, mapping = (field.strip() for field in data.split(";")[:3])
        if status not in ("C", "S"):
            continue
        folded = mapping.split()
        if len(folded) != 1:
            raise SystemExit(f"{code}: a simple folding maps to one code point, not {mapping}")
        code, folded = int(code, 16), int(folded[0], 16)
        # Folding in place on UTF-16 relies on a fold never leaving its plane.
        if (code > 0xFFFF) != (folded > 0xFFFF):
            raise SystemExit(f"U+{code:04X} folds across planes")
        folds.append((code, folded))
    folds.sort()
    if not version:
        raise SystemExit(f"{source}: no version line")
    return version, folds


def table(version, folds):
    lines = [
        f"// Made by make_case_folding.py from {version}: simple case folding, statuses C and S.",
        "// Do not edit: run the script again.",
    ]
    for start in range(0, len(folds), 6):
        row = folds[start:start + 6]
        lines.append(" ".join(f"{{0x{a:04X}, 0x{b:04X}}}," for a, b in row))
    return "\n".join(lines) + "\n"


def main():
    arguments = sys.argv[1:]
    check = "--check" in arguments
    arguments = [a for a in arguments if a != "--check"]
    source = pathlib.Path(arguments[0] if arguments else "/usr/share/unicode/CaseFolding.txt")
    output = pathlib.Path(arguments[1] if len(arguments) > 1 else HERE / "CaseFoldingTable.inc")
    if not source.exists():
        raise SystemExit(f"{source}: missing (Debian package unicode-data)")
    version, folds = pairs(source)
    text = table(version, folds)
    if not check:
        output.write_text(text, encoding="utf-8")
    elif output.read_text(encoding="utf-8") != text:
        raise SystemExit(f"{output} is not what {source} gives: run {pathlib.Path(__file__).name} again")


if __name__ == "__main__":
    main()
