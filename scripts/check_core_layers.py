#!/usr/bin/env python3
"""Fails when a file of src/core includes a header of a higher folder.

    scripts/check_core_layers.py [src/core]

Every file may include headers of its own folder and of the folders before it
in LAYERS, never of a folder after it; a folder missing from LAYERS fails too,
so that a new one has to be given its place.
"""

import pathlib
import re
import sys

# Lowest first; each folder uses only the ones before it (a mailing's commands, sending, import and export act on the document, the session holds them, the application holds the sessions).
LAYERS = [
    "util",
    "platform",
    "merge",
    "document",
    "database",
    "send",
    "import",
    "export",
    "connections",
    "session",
    "app",
]

# Includes known to run upward that are being moved out by other work;
# each entry is "including file -> included header". Keep this list short.
PENDING: set[str] = set()

INCLUDE = re.compile(r'^\s*#\s*include\s*"([^"]+)"', re.MULTILINE)
SOURCE_SUFFIXES = {".h", ".hpp", ".cpp", ".cc"}


def check(core: pathlib.Path) -> list[str]:
    rank = {folder: i for i, folder in enumerate(LAYERS)}
    problems = []
    for folder in sorted(p.name for p in core.iterdir() if p.is_dir()):
        if folder not in rank:
            problems.append(f"{folder}/: a folder with no place in the layer order")
    seen_pending = set()
    for path in sorted(core.rglob("*")):
        if path.suffix not in SOURCE_SUFFIXES or not path.is_file():
            continue
        relative = path.relative_to(core).as_posix()
        own = relative.split("/", 1)[0]
        if own not in rank:
            continue
        for included in INCLUDE.findall(path.read_text(encoding="utf-8", errors="replace")):
            target = included.split("/", 1)[0]
            if "/" not in included or target not in rank or rank[target] <= rank[own]:
                continue
            edge = f"{relative} -> {included}"
            if edge in PENDING:
                seen_pending.add(edge)
                continue
            problems.append(f"{edge}: {own}/ sits below {target}/")
    # A pending entry that no longer occurs is dropped from the list, so the
    # list never lets the same include back in later.
    for edge in sorted(PENDING - seen_pending):
        problems.append(f"{edge}: gone; remove it from PENDING")
    return problems


def main() -> int:
    core = pathlib.Path(sys.argv[1] if len(sys.argv) > 1 else pathlib.Path(__file__).parent.parent / "src/core")
    if not core.is_dir():
        print(f"{core}: not a folder", file=sys.stderr)
        return 2
    problems = check(core)
    for problem in problems:
        print(problem)
    return 1 if problems else 0


if __name__ == "__main__":
    sys.exit(main())
