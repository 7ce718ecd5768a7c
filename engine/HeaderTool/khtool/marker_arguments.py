"""Reads the argument lists of UENUM, USTRUCT, UCLASS, UPROPERTY, UFUNCTION and UMETA."""

from .errors import HeaderError


class Specifiers:
    """The plain specifiers, key = value specifiers and meta = (...) entries of one marker."""

    def __init__(self):
        self.flags = []  # e.g. ['EditAnywhere', 'BlueprintReadWrite']
        self.values = {}  # e.g. {'Category': 'SeatConfig'}
        self.metadata = []  # [(key, value)] in written order
        self.lists = {}  # e.g. {'ClassGroup': ['SeatDevice']}


def _parse_value(cursor):
    token = cursor.next()
    if token.kind == "string":
        return token.value
    if token.kind in ("ident", "number"):
        text = token.text
        while cursor.peek().text == "::":
            cursor.next()
            text += "::" + cursor.expect_kind("ident").text
        return text
    raise cursor.error(token, f"unexpected {token.text!r} in specifier value")


def _parse_items(cursor, on_item):
    cursor.expect("(")
    while cursor.peek().text != ")":
        key = cursor.expect_kind("ident")
        if cursor.peek().text == "=":
            cursor.next()
            if cursor.peek().text == "(":
                on_item(key, None, True)
            else:
                on_item(key, _parse_value(cursor), False)
        else:
            on_item(key, None, False)
        if cursor.peek().text != ")":
            cursor.expect(",")
    cursor.expect(")")


def _parse_name_list(cursor):
    names = []
    cursor.expect("(")
    while cursor.peek().text != ")":
        names.append(cursor.expect_kind("ident").text)
        if cursor.peek().text != ")":
            cursor.expect(",")
    cursor.expect(")")
    return names


def parse_specifiers(cursor, allowed_flags, allowed_values, allowed_lists=frozenset()):
    """Parses '( ... )' after a marker; unknown specifiers are errors, as misspellings would be."""
    result = Specifiers()

    def add_meta(key, value, nested):
        if nested:
            raise cursor.error(key, "nested lists are not allowed inside meta")
        result.metadata.append((key.text, "" if value is None else value))

    def add_item(key, value, nested):
        if key.text == "meta":
            if not nested:
                raise cursor.error(key, "meta must be followed by = (...)")
            _parse_items(cursor, add_meta)
        elif nested and key.text in allowed_lists:
            result.lists[key.text] = _parse_name_list(cursor)
        elif value is None and not nested and key.text in allowed_flags:
            if key.text in result.flags:
                raise cursor.error(key, f"duplicate specifier {key.text}")
            result.flags.append(key.text)
        elif value is not None and key.text in allowed_values:
            result.values[key.text] = value
        else:
            raise cursor.error(key, f"unknown or malformed specifier {key.text!r}")

    _parse_items(cursor, add_item)
    return result
