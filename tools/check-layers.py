#!/usr/bin/env python3
"""Fails on an #include that ARCHITECTURE.md's "What each layer may include"
table forbids, naming the file, the include and the rule.

  tools/check-layers.py [--root DIR]   the tree to read (default: this checkout)

The table is the rule: a row per folder of src/, its own headers always
allowed, the folders of the second column allowed, every other layer folder
forbidden. The row for tests/, bench/ and fuzz/ forbids the folders of its
third column, except in a test folder of the same name (tests/frontend/ may
include frontend/). Exit 0 when every include keeps the rules, 1 when one
breaks them, 2 when the table cannot be read.
"""
import argparse
import pathlib
import re
import sys

HEADING = "### What each layer may include"
SOURCES = (".h", ".hpp", ".cpp", ".cc", ".inc")
INCLUDE = re.compile(r'^\s*#\s*include\s+"([A-Za-z0-9_]+)/')
NAMED = re.compile(r"`([A-Za-z0-9_]+)/`")


def read_table(architecture):
    """{folder: (allowed set or None, forbidden set)} from the table's rows."""
    lines = architecture.read_text(encoding="utf-8").splitlines()
    if HEADING not in lines:
        raise ValueError(f"no heading '{HEADING}' in {architecture}")
    rows = {}
    for line in lines[lines.index(HEADING) + 1:]:
        if line.startswith("#"):
            break
        cells = [cell.strip() for cell in line.strip().strip("|").split("|")]
        if len(cells) != 3 or set(cells[0]) <= {"-"} or cells[0] == "folder":
            continue
        folders = NAMED.findall(cells[0])
        may, may_not = set(NAMED.findall(cells[1])), set(NAMED.findall(cells[2]))
        for folder in folders:
            # A folder of src/ names what it may include; the rows for the
            # trees outside src/ name what they may not.
            rows[folder] = (may, may_not)
    if not rows:
        raise ValueError(f"the table under '{HEADING}' has no rows")
    return rows


def broken_rule(rows, layers, relative, included):
    """The rule an include of included/ from relative breaks, or None."""
    top = relative.parts[0]
    if top == "src" and len(relative.parts) > 2:
        own = relative.parts[1]
        if own not in rows or included == own or included not in layers:
            return None
        may = rows[own][0]
        if included in may:
            return None
        allowed = ", ".join(f"{name}/" for name in sorted(may)) or "nothing else"
        return f"src/{own}/ may include {allowed}"
    if top in rows and top not in layers:
        may_not = rows[top][1]
        own_tests = top == "tests" and len(relative.parts) > 2 and relative.parts[1] == included
        if included in may_not and not own_tests:
            return f"{top}/ may not include {included}/ outside tests/{included}/"
    return None


def check(root):
    rows = read_table(root / "ARCHITECTURE.md")
    layers = {folder for folder in rows if (root / "src" / folder).is_dir()}
    found = []
    for tree in ("src", "tests", "bench", "fuzz"):
        for path in sorted((root / tree).rglob("*")):
            if path.suffix not in SOURCES or not path.is_file():
                continue
            relative = path.relative_to(root)
            text = path.read_text(encoding="utf-8", errors="replace")
            for number, line in enumerate(text.splitlines(), 1):
                match = INCLUDE.match(line)
                rule = match and broken_rule(rows, layers, relative, match.group(1))
                if rule:
                    found.append(f"{relative}:{number}: #include \"{match.group(1)}/...\": {rule}")
    return found


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--root", type=pathlib.Path,
                        default=pathlib.Path(__file__).resolve().parent.parent)
    root = parser.parse_args().root
    try:
        found = check(root)
    except (OSError, ValueError) as error:
        print(f"check-layers: {error}", file=sys.stderr)
        return 2
    for line in found:
        print(line, file=sys.stderr)
    if found:
        print(f"check-layers: {len(found)} include(s) break ARCHITECTURE.md's "
              f"'What each layer may include'", file=sys.stderr)
        return 1
    print("check-layers: every include keeps the layers")
    return 0


if __name__ == "__main__":
    sys.exit(main())
