#!/usr/bin/env python3
"""Instructions per call of chosen functions, from `callgrind_annotate --inclusive=yes --tree=caller`.

Usage: callgrind_per_call.py ANNOTATED_FILE SUBSTRING...
In each block the "<" lines are the callers with their call counts and the
"*" line the function with its inclusive cost. A function can appear in more
than one block (with and without line information): the costliest one counts."""
import re
import sys

caller = re.compile(r"^\s*[\d,]+ \([^)]*\)\s+< .* \(([\d,]+)x\)")
function = re.compile(r"^\s*([\d,]+) \([^)]*\)\s+\*\s+(.*)$")


def blocks(lines):
    calls = 0
    for line in lines:
        if not line.strip():
            calls = 0
            continue
        match = caller.match(line)
        if match:
            calls += int(match.group(1).replace(",", ""))
            continue
        match = function.match(line)
        if match:
            yield match.group(2), int(match.group(1).replace(",", "")), calls


def main():
    lines = open(sys.argv[1], encoding="utf-8", errors="replace").read().splitlines()
    found = list(blocks(lines))
    for wanted in sys.argv[2:]:
        exact = re.compile(re.escape(wanted) + r"(\(| \[|$)")
        matches = [(cost, calls) for name, cost, calls in found if exact.search(name) and calls > 0]
        if not matches:
            print(f"| `{wanted}` | n/a | n/a |")
            continue
        cost, calls = max(matches)
        print(f"| `{wanted}` | {calls:,} | {cost / calls:,.0f} |")


if __name__ == "__main__":
    main()
