"""What the parser finds in a header: the reflected types with everything the generated code needs."""

from dataclasses import dataclass, field
from typing import List, Optional, Tuple

MetaData = List[Tuple[str, str]]


@dataclass
class Enumerator:
    name: str
    value: int
    metadata: MetaData


@dataclass
class Enum:
    name: str
    underlying_type: str
    metadata: MetaData
    enumerators: List[Enumerator] = field(default_factory=list)


@dataclass
class Property:
    name: str
    cpp_type: str
    kind: str  # one of the EPropertyKind names
    type_name: str  # enum, struct or class named by the type; empty otherwise
    flags: List[str]
    metadata: MetaData
    default_tokens: list = field(default_factory=list)  # the C++ default argument of a parameter
    line: int = 0


@dataclass
class Function:
    name: str
    flags: List[str]
    metadata: MetaData
    parameters: List[Property]  # the return value, if any, comes last as "ReturnValue"


@dataclass
class Struct:
    """A USTRUCT or a UCLASS; classes also have a super class and functions."""

    keyword: str  # 'struct' or 'class'
    name: str
    super_name: Optional[str]
    metadata: MetaData
    body_line: int  # line of GENERATED_BODY
    abstract: bool = False
    declares_constructor: bool = False  # any constructor but the one below
    declares_vtable_constructor: bool = False  # Name(FVTableHelper& Helper) written in the class
    declares_destructor: bool = False
    properties: List[Property] = field(default_factory=list)
    functions: List[Function] = field(default_factory=list)


@dataclass
class Delegate:
    """A dynamic multicast delegate type, as DECLARE_DYNAMIC_MULTICAST_DELEGATE... declares it."""

    name: str
    parameters: List[Tuple[str, str]]  # (C++ type, name)


@dataclass
class Header:
    path: str
    relative_path: str  # relative to the module directory, e.g. "Public/SeatDeviceConfig.h"
    enums: List[Enum] = field(default_factory=list)
    structs: List[Struct] = field(default_factory=list)
    delegates: List[Delegate] = field(default_factory=list)

    @property
    def stem(self):
        return self.relative_path.rsplit("/", 1)[-1][: -len(".h")]
