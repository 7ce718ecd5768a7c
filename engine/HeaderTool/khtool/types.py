"""Gives every property and parameter its reflected kind and turns C++ default arguments into CPP_Default_ texts."""

import re
import struct

from .errors import HeaderError

_PLAIN_KINDS = {"bool": "Bool", "uint8": "Byte", "int32": "Int", "float": "Float", "double": "Double", "FString": "String"}
# Engine structs that parameters may use without the module declaring them.
_ENGINE_STRUCTS = {"FRotator", "FVector"}


def _base_type(cpp_type):
    base = cpp_type[len("const ") :] if cpp_type.startswith("const ") else cpp_type
    return base.rstrip("&")


def resolve_kind(path, item, enums, structs, delegates, is_parameter):
    base = _base_type(item.cpp_type)
    object_match = re.fullmatch(r"TObjectPtr<(\w+)>", base) or (is_parameter and re.fullmatch(r"(U\w+)\*", base))
    if "CPF_BlueprintAssignable" in item.flags and base not in delegates:
        raise HeaderError(path, item.line, f"BlueprintAssignable {item.name} must be a dynamic multicast delegate")
    if base in delegates and not is_parameter:
        item.kind, item.type_name = "MulticastDelegate", base
    elif base in _PLAIN_KINDS:
        item.kind = _PLAIN_KINDS[base]
    elif base in enums:
        item.kind, item.type_name = "Enum", base
    elif base in structs or base in _ENGINE_STRUCTS:
        item.kind, item.type_name = "Struct", base
    elif object_match:
        item.kind, item.type_name = "Object", object_match.group(1)
    else:
        hint = " (object properties are TObjectPtr<...>)" if base.endswith("*") else ""
        raise HeaderError(path, item.line, f"type {item.cpp_type!r} of {item.name} cannot be reflected{hint}")


def _single_precision(value):
    return struct.unpack("f", struct.pack("f", value))[0]


def cpp_default_text(path, parameter, enums):
    """The engine's text for a default argument: strings as written, floats with six decimals, bools as true/false."""
    texts = [token.text for token in parameter.default_tokens]
    tokens = parameter.default_tokens
    kind = parameter.kind
    if kind == "String" and texts[:2] == ["TEXT", "("] and texts[-1] == ")" and len(tokens) == 4 and tokens[2].kind == "string":
        return tokens[2].value
    if kind == "String" and len(tokens) == 1 and tokens[0].kind == "string":
        return tokens[0].value
    if kind == "Bool" and texts in (["true"], ["false"]):
        return texts[0]
    if kind in ("Int", "Byte", "Float", "Double") and texts and tokens[-1].kind == "number" and texts[:-1] in ([], ["-"]):
        sign = "-" if texts[0] == "-" else ""
        literal = texts[-1]
        try:
            if kind in ("Float", "Double"):
                value = float(sign + literal.rstrip("fF"))
                return "%f" % (_single_precision(value) if kind == "Float" else value)
            return str(int(sign + literal.rstrip("uUlL"), 0))
        except ValueError:
            pass
    if kind == "Enum" and len(texts) == 3 and texts[0] == parameter.type_name and texts[1] == "::" and texts[2] in enums[parameter.type_name]:
        return texts[2]
    raise HeaderError(path, parameter.line, f"cannot derive a Blueprint default for {parameter.name} from {' '.join(texts)!r}")


def resolve(headers):
    """Resolves kinds across all headers of the module and adds CPP_Default_ metadata to the functions."""
    enums = {enum.name: {entry.name for entry in enum.enumerators} for header in headers for enum in header.enums}
    structs = {struct.name for header in headers for struct in header.structs if struct.keyword == "struct"}
    delegates = {delegate.name for header in headers for delegate in header.delegates}
    for header in headers:
        for reflected in header.structs:
            for prop in reflected.properties:
                resolve_kind(header.path, prop, enums, structs, delegates, is_parameter=False)
            for function in reflected.functions:
                for parameter in function.parameters:
                    resolve_kind(header.path, parameter, enums, structs, delegates, is_parameter=True)
                    if parameter.default_tokens:
                        function.metadata.insert(-1, (f"CPP_Default_{parameter.name}", cpp_default_text(header.path, parameter, enums)))
