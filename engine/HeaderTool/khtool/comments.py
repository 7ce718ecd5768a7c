"""Turns the comment written above a reflected declaration into its ToolTip, as the engine's header tool does."""

import re


def tooltip_from_comment(comment):
    """The comment's text without its markers: one line per comment line, blank lines at either end dropped."""
    text = re.sub(r"/\*+|\*+/", "\n", comment)
    lines = []
    for line in text.split("\n"):
        line = line.strip()
        line = re.sub(r"^//+", "", line)
        line = re.sub(r"^\*+", "", line)
        lines.append(line.strip())
    while lines and not lines[0]:
        lines.pop(0)
    while lines and not lines[-1]:
        lines.pop()
    return "\n".join(lines)


def with_comment_tooltip(metadata, comment):
    """metadata (a list of pairs) with the comment as ToolTip unless one is given; ModuleRelativePath stays last."""
    tooltip = tooltip_from_comment(comment) if comment else ""
    if not tooltip or any(key == "ToolTip" for key, _ in metadata):
        return metadata
    split = len(metadata) - 1 if metadata and metadata[-1][0] == "ModuleRelativePath" else len(metadata)
    return metadata[:split] + [("ToolTip", tooltip)] + metadata[split:]
