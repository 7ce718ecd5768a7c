#!/usr/bin/env python3
"""check_docs.py ROOT: the README stays short, and every relative link in README.md and docs/ leads somewhere.

A link leads somewhere when its file exists (relative to the page that holds it) and, with a #anchor, when a
heading of that file gives that anchor as GitHub writes it (lower case, punctuation dropped, spaces as hyphens,
a repeated heading -N). Links to other sites and links inside fenced code are not checked.
"""
import os
import re
import sys

README_MAX_LINES = 160  # "about 150": a page that leads, not a manual

LINK = re.compile(r"!?\[(?:[^\]`]|`[^`]*`)*\]\(([^)\s]+)(?:\s+\"[^\"]*\")?\)")
FENCE = re.compile(r"^\s*(```|~~~)")


def prose_lines(text):
    """The lines outside fenced code blocks."""
    inside = False
    for line in text.splitlines():
        if FENCE.match(line):
            inside = not inside
        elif not inside:
            yield line


def anchor_of(heading):
    text = re.sub(r"`([^`]*)`", r"\1", heading.strip())
    text = re.sub(r"\[([^\]]*)\]\([^)]*\)", r"\1", text)
    text = text.lower()
    text = re.sub(r"[^\w\- ]", "", text)
    return text.replace(" ", "-")


def anchors(path):
    seen = {}
    result = set()
    inside = False
    with open(path, encoding="utf-8") as f:
        for line in f:
            if FENCE.match(line):
                inside = not inside
                continue
            match = None if inside else re.match(r"^#{1,6}\s+(.*?)\s*#*\s*$", line)
            if match:
                base = anchor_of(match.group(1))
                count = seen.get(base, 0)
                seen[base] = count + 1
                result.add(base if count == 0 else f"{base}-{count}")
    return result


def check_page(root, page, problems):
    with open(page, encoding="utf-8") as f:
        text = f.read()
    for line in prose_lines(text):
        for target in LINK.findall(line):
            if re.match(r"^[a-z][a-z0-9+.-]*:", target, re.I):
                continue  # another site, mail
            path, _, fragment = target.partition("#")
            where = os.path.normpath(os.path.join(os.path.dirname(page), path)) if path else page
            name = os.path.relpath(page, root)
            if not os.path.exists(where):
                problems.append(f"{name}: link to {target}: no {os.path.relpath(where, root)}")
            elif fragment:
                if not where.endswith(".md") or fragment not in anchors(where):
                    problems.append(f"{name}: link to {target}: no heading #{fragment} in "
                                    f"{os.path.relpath(where, root)}")


def main():
    root = os.path.abspath(sys.argv[1] if len(sys.argv) > 1 else ".")
    problems = []
    readme = os.path.join(root, "README.md")
    with open(readme, encoding="utf-8") as f:
        lines = f.read().count("\n")
    if lines > README_MAX_LINES:
        problems.append(f"README.md: {lines} lines, more than {README_MAX_LINES}: move the detail into docs/")
    pages = [readme]
    for folder, _, files in os.walk(os.path.join(root, "docs")):
        pages += [os.path.join(folder, name) for name in sorted(files) if name.endswith(".md")]
    for page in pages:
        check_page(root, page, problems)
    for problem in problems:
        print(problem, file=sys.stderr)
    print(f"{len(pages)} pages, README {lines} lines, {len(problems)} problems")
    return 1 if problems else 0


if __name__ == "__main__":
    sys.exit(main())
