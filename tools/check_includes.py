#!/usr/bin/env python3
"""Checks that no source file includes upward: a file in src/<folder>/ (or below it) may
include "x/..." only for its own folder and the libraries its folder's library uses,
directly or through others. Which library uses which is read from the talvorin_library(...)
lines of the top CMakeLists.txt, the one place that says it. The tests may include anything.

    python3 tools/check_includes.py [SOURCE_DIR]

Prints each include that runs the wrong way (file, line, the edge) and exits 1 if any does.
"""
import pathlib
import re
import sys

LIBRARY = re.compile(r"^\s*talvorin_library\(\s*talvorin_(\w+)\s+src/(\w+)((?:\s+[^)\s]+)*)\s*\)", re.M)
INCLUDE = re.compile(r'^\s*#\s*include\s*"(([^"/]+)/[^"]*)"')


def library_uses(cmake_text):
    """{folder: set of folders it uses directly}, from the talvorin_library lines."""
    uses = {}
    for name, folder, rest in LIBRARY.findall(cmake_text):
        if name != folder:
            raise SystemExit(f"CMakeLists.txt: library talvorin_{name} is built from src/{folder}; "
                             "the check expects the two names to match")
        uses[folder] = {arg[len("talvorin_"):] for arg in rest.split() if arg.startswith("talvorin_")}
    return uses


def reachable(uses):
    """{folder: every folder it may include}: itself and what it uses, transitively."""
    allowed = {}
    for start in uses:
        seen, todo = {start}, [start]
        while todo:
            for used in uses.get(todo.pop(), ()):
                if used not in seen:
                    seen.add(used)
                    todo.append(used)
        allowed[start] = seen
    return allowed


def upward_includes(root, uses):
    allowed = reachable(uses)
    for path in sorted((root / "src").rglob("*")):
        if path.suffix not in (".h", ".cpp", ".rc", ".in") or not path.is_file():
            continue
        folder = path.relative_to(root / "src").parts[0]
        if folder not in allowed:
            continue
        lines = path.read_text(encoding="utf-8", errors="replace").splitlines()
        for number, line in enumerate(lines, 1):
            match = INCLUDE.match(line)
            if match and match.group(2) in uses and match.group(2) not in allowed[folder]:
                yield path.relative_to(root), number, folder, match.group(2), match.group(1)


def main():
    root = pathlib.Path(sys.argv[1] if len(sys.argv) > 1 else pathlib.Path(__file__).resolve().parent.parent)
    uses = library_uses((root / "CMakeLists.txt").read_text(encoding="utf-8"))
    if not uses:
        raise SystemExit("CMakeLists.txt: no talvorin_library(...) lines found")
    found = 0
    for file, number, folder, included, header in upward_includes(root, uses):
        found += 1
        may = ", ".join(sorted(reachable(uses)[folder] - {folder})) or "nothing of ours"
        print(f"{file}:{number}: includes \"{header}\", but {folder} -> {included} is no edge of the "
              f"library order in CMakeLists.txt ({folder} may use: {may})")
    if found:
        print(f"{found} include(s) against the library order")
        return 1
    return 0


if __name__ == "__main__":
    sys.exit(main())
