"""Finds the reflected enums, structs and classes of one header, as the engine's header tool reads them."""

import re

from .comments import with_comment_tooltip
from .cursor import Cursor
from .declarations import join_type, split_declarator, split_top_level, take_balanced, take_statement
from .errors import HeaderError
from .lexer import tokenize
from .model import Delegate, Enum, Enumerator, Function, Header, Property, Struct
from .marker_arguments import parse_specifiers

_MARKERS = ("UENUM", "USTRUCT", "UCLASS", "UPROPERTY", "UFUNCTION")
_API_MACRO = re.compile(r"[A-Z0-9_]+_API$")

PROPERTY_FLAGS = {
    "EditAnywhere": ["CPF_Edit"],
    "VisibleAnywhere": ["CPF_Edit", "CPF_EditConst"],
    "BlueprintReadWrite": ["CPF_BlueprintVisible"],
    "BlueprintReadOnly": ["CPF_BlueprintVisible", "CPF_BlueprintReadOnly"],
    "BlueprintAssignable": ["CPF_BlueprintAssignable"],
}
# DECLARE_DYNAMIC_MULTICAST_DELEGATE, _OneParam, _TwoParams, ... : the delegate's name, then type and name pairs.
_DELEGATE_MACRO = re.compile(r"DECLARE_DYNAMIC_MULTICAST_DELEGATE(_[A-Za-z]+Params?)?$")
_EXCLUSIVE_PROPERTY_FLAGS = (("EditAnywhere", "VisibleAnywhere"), ("BlueprintReadWrite", "BlueprintReadOnly"))
_ACCESS_FLAGS = {"public": "FUNC_Public", "protected": "FUNC_Protected", "private": "FUNC_Private"}


def _marker_metadata(specifiers, implied):
    """Metadata implied by plain specifiers, then the meta entries; a later key replaces an earlier one."""
    metadata = dict()
    for flag in specifiers.flags:
        for key, value in implied.get(flag, []):
            metadata[key] = value
    for key, value in specifiers.metadata:
        metadata[key] = value
    return list(metadata.items())


def _check_generated_include(path, stem, tokens):
    includes = [token for token in tokens if token.kind == "directive" and re.match(r"#\s*include\b", token.text)]
    expected = f'"{stem}.generated.h"'
    if not includes or expected not in includes[-1].text:
        line = includes[-1].line if includes else 1
        raise HeaderError(path, line, f"the last #include of a reflected header must be {expected}")


def _note_special_members(struct, statement):
    """Records whether the class declares the constructors and destructor that the generated code would otherwise define."""
    texts = [token.text for token in statement]
    for index, text in enumerate(texts[:-2]):
        if text == struct.name and texts[index + 1] == "(" and index > 0 and texts[index - 1] == "~":
            struct.declares_destructor = True
        elif text == struct.name and texts[index + 1] == "(" and texts[index + 2] == "FVTableHelper":
            struct.declares_vtable_constructor = True
        elif text == struct.name and texts[index + 1] == "(" and (index == 0 or texts[index - 1] != "::"):
            struct.declares_constructor = True


class _HeaderParser:
    def __init__(self, path, relative_path, text):
        self.header = Header(path, relative_path)
        tokens = tokenize(path, text)
        if any(token.kind == "ident" and token.text in _MARKERS for token in tokens):
            _check_generated_include(path, self.header.stem, tokens)
        self.cursor = Cursor(path, [token for token in tokens if token.kind != "directive"])
        self.module_path = [("ModuleRelativePath", relative_path)]

    def parse(self):
        cursor = self.cursor
        while not cursor.at_end():
            token = cursor.next()
            if token.kind != "ident":
                continue
            if token.text == "UENUM":
                self._parse_enum(token)
            elif token.text in ("USTRUCT", "UCLASS"):
                self._parse_struct(token)
            elif token.text in ("UPROPERTY", "UFUNCTION"):
                raise cursor.error(token, f"{token.text} outside a reflected struct or class")
            elif _DELEGATE_MACRO.match(token.text):
                self._parse_delegate(token)
        return self.header

    def _parse_delegate(self, macro):
        cursor = self.cursor
        cursor.expect("(")
        arguments = [join_type(part) for part in split_top_level(take_balanced(cursor), ",")]
        if not arguments or len(arguments) % 2 != 1:
            raise cursor.error(macro, f"{macro.text} takes the delegate's name, then a type and a name per parameter")
        parameters = list(zip(arguments[1::2], arguments[2::2]))
        self.header.delegates.append(Delegate(arguments[0], parameters))
        if cursor.peek().text == ";":
            cursor.next()

    def _parse_enum(self, marker):
        cursor = self.cursor
        specifiers = parse_specifiers(cursor, {"BlueprintType"}, set())
        cursor.expect("enum")
        if cursor.peek().text != "class":
            raise cursor.error(cursor.peek(), "reflected enums must be scoped (enum class)")
        cursor.next()
        name = cursor.expect_kind("ident")
        underlying = "uint8"
        if cursor.peek().text == ":":
            cursor.next()
            underlying = cursor.expect_kind("ident").text
        if underlying != "uint8":
            raise cursor.error(name, "Blueprint enums must have the underlying type uint8")
        metadata = _marker_metadata(specifiers, {"BlueprintType": [("BlueprintType", "true")]}) + self.module_path
        enum = Enum(name.text, underlying, with_comment_tooltip(metadata, marker.comment))
        cursor.expect("{")
        next_value = 0
        while cursor.peek().text != "}":
            first_index = cursor.index
            enumerator = cursor.expect_kind("ident")
            if cursor.peek().text == "=":
                cursor.next()
                next_value = self._parse_integer()
            metadata = []
            if cursor.peek().text == "UMETA":
                cursor.next()
                metadata = parse_specifiers(cursor, {"Hidden"}, {"DisplayName", "ToolTip"})
                metadata = [(flag, "") for flag in metadata.flags] + list(metadata.values.items())
            if cursor.peek().text != "}":
                cursor.expect(",")
            # A value's tooltip is the comment above it, else one after it on the same line.
            trailing = next((token.trailing for token in cursor.tokens[first_index : cursor.index] if token.trailing), "")
            metadata = with_comment_tooltip(metadata, enumerator.comment or trailing)
            enum.enumerators.append(Enumerator(enumerator.text, next_value, metadata))
            next_value += 1
        cursor.expect("}")
        cursor.expect(";")
        self.header.enums.append(enum)

    def _parse_integer(self):
        cursor = self.cursor
        sign = 1
        if cursor.peek().text == "-":
            cursor.next()
            sign = -1
        token = cursor.expect_kind("number")
        try:
            return sign * int(token.text.rstrip("uUlL"), 0)
        except ValueError:
            raise cursor.error(token, f"enum values must be integer literals, not {token.text!r}")

    def _parse_struct(self, marker):
        cursor = self.cursor
        is_class = marker.text == "UCLASS"
        if is_class:
            specifiers = parse_specifiers(cursor, {"BlueprintType", "Blueprintable", "Abstract"}, set(), {"ClassGroup"})
            implied = {"BlueprintType": [("BlueprintType", "true")], "Blueprintable": [("IsBlueprintBase", "true"), ("BlueprintType", "true")]}
        else:
            specifiers = parse_specifiers(cursor, {"BlueprintType"}, set())
            implied = {"BlueprintType": [("BlueprintType", "true")]}
        keyword = cursor.expect("class" if is_class else "struct").text
        name = cursor.expect_kind("ident")
        if _API_MACRO.match(name.text):
            name = cursor.expect_kind("ident")
        super_name = None
        if cursor.peek().text == ":":
            cursor.next()
            if cursor.peek().text in ("public", "protected", "private"):
                cursor.next()
            super_name = cursor.expect_kind("ident").text
            # Further bases are plain C++ classes (interfaces such as a tickable object), not reflected.
            while cursor.peek().text == ",":
                cursor.next()
                if cursor.peek().text in ("public", "protected", "private"):
                    cursor.next()
                cursor.expect_kind("ident")
                while cursor.peek().text == "::":
                    cursor.next()
                    cursor.expect_kind("ident")
        if is_class and not super_name:
            raise cursor.error(name, "a UCLASS must derive from UObject or one of its classes")
        opening = cursor.expect("{")
        if cursor.peek().text != "GENERATED_BODY":
            raise cursor.error(cursor.peek(), f"GENERATED_BODY() must open the body of {name.text}")
        body_line = cursor.next().line
        cursor.expect("(")
        cursor.expect(")")
        metadata = _marker_metadata(specifiers, implied)
        if "ClassGroup" in specifiers.lists:
            # The editor's component menu groups classes by these names.
            metadata = [("ClassGroupNames", " ".join(specifiers.lists["ClassGroup"]))] + metadata
        metadata = with_comment_tooltip(metadata + self.module_path, marker.comment)
        struct = Struct(keyword, name.text, super_name, metadata, body_line,
                        abstract="Abstract" in specifiers.flags)
        # The class body macro ends in private:, as the engine's does; a struct's leaves access alone.
        self._parse_body(struct, "private" if is_class else "public", opening)
        self.header.structs.append(struct)

    def _parse_body(self, struct, access, opening):
        cursor = self.cursor
        while True:
            token = cursor.peek()
            if token.kind == "end":
                raise cursor.error(opening, f"unterminated body of {struct.name}")
            if token.text == "}":
                cursor.next()
                cursor.expect(";")
                return
            if token.text in _ACCESS_FLAGS and cursor.peek(1).text == ":":
                access = token.text
                cursor.next()
                cursor.next()
            elif token.text == "UPROPERTY":
                cursor.next()
                prop = self._parse_property(access)
                prop.metadata = with_comment_tooltip(prop.metadata, token.comment)
                struct.properties.append(prop)
            elif token.text == "UFUNCTION":
                cursor.next()
                if struct.keyword != "class":
                    raise cursor.error(token, "UFUNCTION is only allowed in a UCLASS")
                function = self._parse_function(access)
                function.metadata = with_comment_tooltip(function.metadata, token.comment)
                struct.functions.append(function)
            elif token.text == "GENERATED_BODY":
                raise cursor.error(token, "GENERATED_BODY() may appear only once, first in the body")
            else:
                _note_special_members(struct, take_statement(cursor))

    def _parse_property(self, access):
        cursor = self.cursor
        specifiers = parse_specifiers(cursor, set(PROPERTY_FLAGS), {"Category"})
        for first, second in _EXCLUSIVE_PROPERTY_FLAGS:
            if first in specifiers.flags and second in specifiers.flags:
                raise cursor.error(cursor.peek(), f"{first} and {second} cannot be combined")
        statement = take_statement(cursor)
        type_tokens, name, _ = split_declarator(cursor, statement, "property")
        flags = [flag for specifier in specifiers.flags for flag in PROPERTY_FLAGS[specifier]]
        metadata = dict(specifiers.metadata)
        if "CPF_BlueprintVisible" in flags and access == "private" and "AllowPrivateAccess" not in metadata:
            raise cursor.error(name, f"{name.text} is private and cannot be Blueprint-visible without AllowPrivateAccess")
        if "Category" in specifiers.values:
            metadata = {"Category": specifiers.values["Category"], **metadata}
        return Property(name.text, join_type(type_tokens), None, "", list(dict.fromkeys(flags)),
                        list(metadata.items()) + self.module_path, line=name.line)

    def _parse_function(self, access):
        cursor = self.cursor
        specifiers = parse_specifiers(cursor, {"BlueprintCallable", "BlueprintPure", "CallInEditor"}, {"Category"})
        statement = take_statement(cursor)
        parts = [token.text for token in statement]
        if "(" not in parts:
            raise cursor.error(statement[0] if statement else cursor.peek(), "cannot read the function declaration")
        open_index = parts.index("(")
        close_index = len(parts) - 1 - parts[::-1].index(")")
        is_static = any(token.text == "static" for token in statement[:open_index])
        head = [token for token in statement[:open_index] if token.text not in ("virtual", "inline", "FORCEINLINE", "static")]
        qualifiers = parts[close_index + 1 :]
        if len(head) < 2 or head[-1].kind != "ident":
            raise cursor.error(statement[0], "cannot read the function declaration")
        name = head[-1]
        return_type = join_type(head[:-1])
        flags = ["FUNC_Native", _ACCESS_FLAGS[access]]
        if is_static:
            # A static function is called without an object: an async node's factory, a function library's.
            if "const" in qualifiers:
                raise cursor.error(name, f"static function {name.text} cannot be const")
            flags.append("FUNC_Static")
        if not any(token.text == "virtual" for token in statement[:open_index]) and "override" not in qualifiers:
            flags.insert(0, "FUNC_Final")
        if "BlueprintCallable" in specifiers.flags or "BlueprintPure" in specifiers.flags:
            flags.append("FUNC_BlueprintCallable")
            if "Category" not in specifiers.values:
                raise cursor.error(name, f"Blueprint function {name.text} needs a Category")
        if "BlueprintPure" in specifiers.flags:
            if return_type == "void":
                raise cursor.error(name, f"BlueprintPure function {name.text} must return a value")
            flags.append("FUNC_BlueprintPure")
        if "const" in qualifiers:
            flags.append("FUNC_Const")
        metadata = dict(specifiers.metadata)
        if "CallInEditor" in specifiers.flags:
            # A button in the details panel of the object.
            metadata = {"CallInEditor": "true", **metadata}
        if "Category" in specifiers.values:
            metadata = {"Category": specifiers.values["Category"], **metadata}
        parameters = self._parse_parameters(statement[open_index + 1 : close_index])
        if return_type != "void":
            parameters.append(Property("ReturnValue", return_type, None, "", ["CPF_Parm", "CPF_OutParm", "CPF_ReturnParm"], [], line=name.line))
        return Function(name.text, flags, list(metadata.items()) + self.module_path, parameters)

    def _parse_parameters(self, tokens):
        if not tokens or [token.text for token in tokens] == ["void"]:
            return []
        parameters = []
        for declaration in split_top_level(tokens, ","):
            type_tokens, name, default = split_declarator(self.cursor, declaration, "parameter")
            cpp_type = join_type(type_tokens)
            flags = ["CPF_Parm"]
            if cpp_type == "const FString&":
                # As the engine's header tool has it: a string taken by const reference is, to reflection and
                # Blueprints, the same plain string parameter as one taken by value.
                cpp_type = "FString"
            elif cpp_type.endswith("&"):
                flags += ["CPF_ConstParm", "CPF_ReferenceParm"] if cpp_type.startswith("const ") else ["CPF_OutParm", "CPF_ReferenceParm"]
            parameters.append(Property(name.text, cpp_type, None, "", flags, [], default_tokens=default, line=name.line))
        return parameters


def parse_header(path, relative_path, text):
    return _HeaderParser(path, relative_path, text).parse()
