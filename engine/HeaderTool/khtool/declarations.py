"""Reads the C++ declarations that follow the reflection markers: token runs, member and function declarators."""

WORD_KINDS = ("ident", "number")
_OPENERS = {"(": ")", "[": "]", "{": "}", "<": ">"}


def join_type(tokens):
    """Spells a type the way the engine prints it: "const FSeatCurrentState&", "TObjectPtr<USeatDeviceConfig>"."""
    text = ""
    previous = None
    for token in tokens:
        if previous is not None and previous.kind in WORD_KINDS and token.kind in WORD_KINDS:
            text += " "
        text += token.text
        previous = token
    return text


def take_statement(cursor):
    """Consumes one declaration up to its ';' or the end of its braced body; returns its tokens without them."""
    tokens = []
    depth = []
    while True:
        token = cursor.next()
        if not depth and token.text == ";":
            return tokens
        if not depth and token.text == "{" and tokens and tokens[-1].text in (")", "const", "override", "final"):
            _skip_balanced(cursor, "{")
            if cursor.peek().text == ";":
                cursor.next()
            return tokens
        if token.text in ("(", "[", "{"):
            depth.append(_OPENERS[token.text])
        elif depth and token.text == depth[-1]:
            depth.pop()
        tokens.append(token)


def take_balanced(cursor):
    """Consumes the tokens up to the ')' that closes a '(' already taken; returns them without it."""
    tokens = []
    level = 1
    while True:
        token = cursor.next()
        if token.text == "(":
            level += 1
        elif token.text == ")":
            level -= 1
            if level == 0:
                return tokens
        tokens.append(token)


def _skip_balanced(cursor, opener):
    closer = _OPENERS[opener]
    level = 1
    while level:
        token = cursor.next()
        if token.text == opener:
            level += 1
        elif token.text == closer:
            level -= 1


def split_top_level(tokens, separator):
    """Splits tokens at separator outside (), [], {} and <>."""
    parts = [[]]
    depth = []
    for token in tokens:
        if not depth and token.text == separator:
            parts.append([])
            continue
        if token.text in _OPENERS:
            depth.append(_OPENERS[token.text])
        elif depth and token.text == depth[-1]:
            depth.pop()
        parts[-1].append(token)
    return parts


def split_declarator(cursor, tokens, what):
    """Splits "Type Name = Init" into (type tokens, name token, initializer tokens)."""
    parts = split_top_level(tokens, "=")
    declarator = parts[0]
    initializer = [token for part in parts[1:] for token in part]
    if declarator and declarator[-1].text == "}":
        # Brace initialisation: Type Name{...}
        open_index = next(index for index, token in enumerate(declarator) if token.text == "{")
        initializer = declarator[open_index:]
        declarator = declarator[:open_index]
    if len(declarator) < 2 or declarator[-1].kind != "ident":
        raise cursor.error(tokens[0] if tokens else cursor.peek(), f"cannot read the {what} declaration")
    return declarator[:-1], declarator[-1], initializer
