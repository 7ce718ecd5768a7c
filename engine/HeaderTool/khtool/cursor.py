"""Walks the token list of one header."""

from .errors import HeaderError
from .lexer import Token


class Cursor:

    def __init__(self, path, tokens):
        self.path = path
        self.tokens = tokens
        self.index = 0

    def at_end(self):
        return self.index >= len(self.tokens)

    def peek(self, offset=0):
        index = self.index + offset
        if index >= len(self.tokens):
            return Token("end", "", self.tokens[-1].line if self.tokens else 1)
        return self.tokens[index]

    def next(self):
        token = self.peek()
        if token.kind == "end":
            raise self.error(token, "unexpected end of file")
        self.index += 1
        return token

    def expect(self, text):
        token = self.next()
        if token.text != text:
            raise self.error(token, f"expected {text!r}, found {token.text!r}")
        return token

    def expect_kind(self, kind):
        token = self.next()
        if token.kind != kind:
            raise self.error(token, f"expected {kind}, found {token.text!r}")
        return token

    def error(self, token, message):
        return HeaderError(self.path, token.line, message)
