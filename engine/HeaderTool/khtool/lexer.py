"""Splits a C++ header into tokens, keeping the line of each token and the comment written just above it."""

import re
from dataclasses import dataclass

from .errors import HeaderError


@dataclass(frozen=True)
class Token:
    kind: str  # 'ident', 'number', 'string', 'char', 'punct', 'directive'
    text: str
    line: int
    value: str = ""  # decoded contents of a string literal
    comment: str = ""  # the comment that leads up to this token, as written; empty if none
    trailing: str = ""  # a comment that follows this token on its own line, as written


_TOKEN = re.compile(
    r"""
    (?P<newline>\n)
  | (?P<space>[ \t\r\f\v]+)
  | (?P<line_comment>//[^\n]*)
  | (?P<block_comment>/\*.*?\*/)
  | (?P<string>(?:u8|u|U|L)?"(?:[^"\\\n]|\\.)*")
  | (?P<char>(?:u8|u|U|L)?'(?:[^'\\\n]|\\.)+')
  | (?P<number>\.?\d(?:[\w.]|[eEpP][+-])*)
  | (?P<ident>[A-Za-z_]\w*)
  | (?P<punct>::|&&|\|\||==|!=|<=|>=|->|\.\.\.|[^\s\w])
    """,
    re.VERBOSE | re.DOTALL,
)
_ESCAPES = {"n": "\n", "t": "\t", "r": "\r", "0": "\0", "\\": "\\", '"': '"', "'": "'"}


def _decode_string(literal):
    body = literal[literal.index('"') + 1 : -1]
    return re.sub(r"\\(.)", lambda match: _ESCAPES.get(match.group(1), match.group(1)), body)


def tokenize(path, text):
    """Returns the tokens of text; preprocessor lines become single 'directive' tokens."""
    tokens = []
    line = 1
    position = 0
    at_line_start = True
    # Comments that began on a line of their own since the last token: they lead up to the next one.
    pending = []
    while position < len(text):
        if at_line_start:
            directive = re.match(r"[ \t]*#([^\n\\]|\\\n)*", text[position:])
            if directive:
                tokens.append(Token("directive", directive.group(0).strip(), line))
                pending = []
                line += directive.group(0).count("\n")
                position += directive.end()
                continue
        match = _TOKEN.match(text, position)
        if not match:
            raise HeaderError(path, line, f"unexpected character {text[position]!r}")
        kind = match.lastgroup
        lexeme = match.group(0)
        if kind in ("line_comment", "block_comment"):
            if tokens and tokens[-1].line == line and not pending:
                # Written after a token on the same line: it belongs to that token, not to the next.
                previous = tokens[-1]
                tokens[-1] = Token(previous.kind, previous.text, previous.line, previous.value, previous.comment,
                                   (previous.trailing + "\n" + lexeme).lstrip("\n"))
            else:
                pending.append(lexeme)
        elif kind in ("string", "char", "number", "ident", "punct"):
            value = _decode_string(lexeme) if kind == "string" else ""
            tokens.append(Token(kind, lexeme, line, value, "\n".join(pending)))
            pending = []
            at_line_start = False
        line += lexeme.count("\n")
        if kind == "newline":
            at_line_start = True
        position = match.end()
    return tokens
