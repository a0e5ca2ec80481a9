#!/usr/bin/env python3
"""How much test code there is beside the product code.

Counts the lines of the files under version control that hold code: not blank, and not only a
comment (// and /* */ in C++ and CMake's #, # and docstrings-only lines are not told apart in
Python: a line that is only a comment is left out, a docstring's lines count). Test code is
tests/ and data/tests/; product code is core/, gui/, tools/, synthdata/ and the data builder
(data/builder/, data/build_database.py). The fuzz targets and the benchmarks are counted apart.

Usage: scripts/line_counts.py [--by-folder]
"""

import argparse
import subprocess
import sys
from pathlib import Path

ROOT = Path(__file__).resolve().parent.parent
CODE_SUFFIXES = {".cpp", ".h", ".hpp", ".py", ".txt", ".cmake"}  # .txt: CMakeLists.txt
GROUPS = {
    "tests": ("tests/", "data/tests/"),
    "product": ("core/", "gui/", "tools/", "synthdata/", "data/builder/", "data/build_database.py"),
    "fuzz": ("fuzz/",),
    "bench": ("bench/",),
}


def group_of(path):
    for name, prefixes in GROUPS.items():
        if any(path == p or path.startswith(p) for p in prefixes):
            return name
    return None


def code_lines(path, text):
    """The lines that hold code: neither blank nor only a comment."""
    hash_comments = path.endswith((".py", ".txt", ".cmake"))
    count = 0
    in_block = False
    for raw in text.splitlines():
        line = raw.strip()
        if in_block:
            end = line.find("*/")
            if end < 0:
                continue
            in_block = False
            line = line[end + 2:].strip()
        if not line:
            continue
        if hash_comments:
            if line.startswith("#"):
                continue
        else:
            if line.startswith("//"):
                continue
            if line.startswith("/*"):
                end = line.find("*/", 2)
                if end < 0:
                    in_block = True
                    continue
                if not line[end + 2:].strip():
                    continue
        count += 1
    return count


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("--by-folder", action="store_true", help="list every top folder's count")
    args = parser.parse_args()
    files = subprocess.run(["git", "ls-files"], cwd=ROOT, capture_output=True, text=True,
                           check=True).stdout.split("\n")
    totals = {name: 0 for name in GROUPS}
    folders = {}
    for path in files:
        if not path or Path(path).suffix not in CODE_SUFFIXES:
            continue
        group = group_of(path)
        if group is None:
            continue
        text = (ROOT / path).read_text(encoding="utf-8", errors="replace")
        n = code_lines(path, text)
        totals[group] += n
        parts = path.split("/")
        folder = "/".join(parts[:2]) if len(parts) > 2 else parts[0]
        folders[folder] = folders.get(folder, 0) + n
    if args.by_folder:
        for folder, n in sorted(folders.items()):
            print(f"{folder:<40} {n:>7}")
        print()
    for name, n in totals.items():
        print(f"{name:<8} {n:>7} lines of code")
    share = totals["tests"] / totals["product"] if totals["product"] else 0.0
    print(f"tests against product code: {100 * share:.0f} %")
    return 0


if __name__ == "__main__":
    sys.exit(main())
