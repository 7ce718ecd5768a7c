"""The header tool refuses what the engine's header tool refuses, derives Blueprint defaults, turns comments into
tooltips and generates the constructors a class does not declare, as the engine's does."""

import os
import re
import unittest

from khtool.emit import generated_header, generated_source
from khtool.errors import HeaderError
from khtool.parser import parse_header
from khtool.types import resolve

HERE = os.path.dirname(os.path.abspath(__file__))
# The plugin's headers as they were before their comments were moved away from reflected declarations and the
# manager declared its vtable-helper constructor.
UNMENDED_DIR = os.path.join(HERE, "Unmended")
PLUGIN_HEADERS_DIR = os.path.join(HERE, "..", "..", "..", "Source", "Karvel", "Public")

PREAMBLE = '#pragma once\n#include "CoreMinimal.h"\n#include "Probe.generated.h"\n'


def parse(body):
    header = parse_header("Probe.h", "Public/Probe.h", PREAMBLE + body)
    resolve([header])
    return header


def manager_with(declaration):
    return parse("UCLASS()\nclass UProbe : public UObject\n{\n\tGENERATED_BODY()\npublic:\n\t" + declaration + "\n};\n")


class RejectsTest(unittest.TestCase):
    def assertRejected(self, text, message, parser=parse):
        with self.assertRaises(HeaderError) as raised:
            parser(text)
        self.assertIn(message, str(raised.exception))

    def test_misspelt_and_conflicting_specifiers(self):
        self.assertRejected('UPROPERTY(EditAnywere)\n\tint32 A = 0;', "unknown or malformed specifier 'EditAnywere'", manager_with)
        self.assertRejected("UPROPERTY(EditAnywhere, VisibleAnywhere)\n\tint32 A = 0;", "cannot be combined", manager_with)
        self.assertRejected('UFUNCTION(BlueprintPure, Category = "X")\n\tvoid F();', "must return a value", manager_with)
        self.assertRejected("UFUNCTION(BlueprintCallable)\n\tvoid F();", "needs a Category", manager_with)

    def test_declarations_the_engine_cannot_reflect(self):
        self.assertRejected("UPROPERTY()\n\tUObject* Raw;", "TObjectPtr", manager_with)
        self.assertRejected("UPROPERTY()\n\tTArray<int32> Values;", "cannot be reflected", manager_with)
        self.assertRejected("UENUM()\nenum class EWide : int32 { A };", "uint8")
        self.assertRejected("USTRUCT()\nstruct FLate\n{\n\tint32 A;\n\tGENERATED_BODY()\n};", "must open the body")
        self.assertRejected(
            "UCLASS()\nclass UProbe : public UObject\n{\n\tGENERATED_BODY()\n\tUPROPERTY(BlueprintReadWrite)\n\tint32 Hidden;\n};",
            "private and cannot be Blueprint-visible",
        )

    def test_generated_include_must_come_last(self):
        with self.assertRaises(HeaderError) as raised:
            parse_header("Probe.h", "Public/Probe.h", '#include "Probe.generated.h"\n#include "Other.h"\nUENUM()\nenum class E : uint8 { A };')
        self.assertIn('"Probe.generated.h"', str(raised.exception))
        self.assertIn("Probe.h:2:", str(raised.exception))

    def test_unusable_default_argument(self):
        self.assertRejected('UFUNCTION(BlueprintCallable, Category = "X")\n\tvoid F(int32 A = 1 + 2);', "cannot derive a Blueprint default", manager_with)


class DefaultsTest(unittest.TestCase):
    def test_defaults_become_engine_texts(self):
        header = manager_with(
            'UFUNCTION(BlueprintCallable, Category = "X")\n'
            '\tvoid F(FString Ip = TEXT("10.0.0.1"), int32 Port = 0x10, float Scale = -2.5f, double Exact = 0.1, bool bOn = false);'
        )
        metadata = dict(header.structs[0].functions[0].metadata)
        self.assertEqual(metadata["CPP_Default_Ip"], "10.0.0.1")
        self.assertEqual(metadata["CPP_Default_Port"], "16")
        self.assertEqual(metadata["CPP_Default_Scale"], "-2.500000")
        self.assertEqual(metadata["CPP_Default_Exact"], "0.100000")
        self.assertEqual(metadata["CPP_Default_bOn"], "false")

    def test_a_string_by_const_reference_is_a_plain_string_parameter(self):
        header = manager_with(
            'UFUNCTION(BlueprintCallable, Category = "X")\n'
            '\tbool F(const FString& Ip = TEXT("10.0.0.1"), FString Name = TEXT("seat"));'
        )
        function = header.structs[0].functions[0]
        metadata = dict(function.metadata)
        self.assertEqual(metadata["CPP_Default_Ip"], "10.0.0.1")
        self.assertEqual(metadata["CPP_Default_Name"], "seat")
        ip, name = function.parameters[0], function.parameters[1]
        self.assertEqual((ip.cpp_type, ip.flags), (name.cpp_type, name.flags), "the same to Blueprints")
        self.assertEqual(ip.flags, ["CPF_Parm"])

    def test_generated_body_line_counts_comments_and_strings(self):
        header = parse('/* two\n lines */\nUSTRUCT(meta = (ToolTip = "a \\"quoted\\" // not a comment"))\nstruct FProbe\n{\n\tGENERATED_BODY()\n};\n')
        self.assertEqual(header.structs[0].body_line, 9)
        self.assertEqual(dict(header.structs[0].metadata)["ToolTip"], 'a "quoted" // not a comment')


def tooltip(item):
    return dict(item.metadata).get("ToolTip")


def plugin_headers(directory):
    headers = {}
    for stem in ("SeatDeviceConfig", "SeatDeviceManager"):
        with open(os.path.join(directory, stem + ".h"), encoding="utf-8-sig") as source:
            headers[stem] = parse_header(stem + ".h", f"Public/{stem}.h", source.read())
    resolve(list(headers.values()))
    return headers


def every_reflected(header):
    """(name, item) for each enum, enum value, struct, class, property and function of the header."""
    for enum in header.enums:
        yield enum.name, enum
        for entry in enum.enumerators:
            yield f"{enum.name}::{entry.name}", entry
    for reflected in header.structs:
        yield reflected.name, reflected
        for member in reflected.properties + reflected.functions:
            yield f"{reflected.name}::{member.name}", member


class CommentToolTipTest(unittest.TestCase):
    def test_the_comment_above_each_kind_of_declaration_becomes_its_tooltip(self):
        header = parse(
            "// Levels.\nUENUM()\nenum class ELevel : uint8\n{\n\t// Nothing at all.\n\tOff,\n\tOn, // Fully on.\n\tLast\n};\n"
            "/**\n * A probe.\n *\n * Second paragraph.\n */\nUSTRUCT()\nstruct FProbe\n{\n\tGENERATED_BODY()\n"
            "\t/* Block comment. */\n\tUPROPERTY()\n\tint32 A = 0;\n"
            "\t// First line\n\t// second line.\n\tUPROPERTY(meta = (ToolTip = \"Given\"))\n\tint32 B = 0;\n};\n"
            "// The class.\nUCLASS()\nclass UProbe : public UObject\n{\n\tGENERATED_BODY()\npublic:\n"
            "\t// Does it.\n\tUFUNCTION(BlueprintCallable, Category = \"X\")\n\tvoid F();\n};\n"
        )
        enum, (struct, cls) = header.enums[0], header.structs
        self.assertEqual(tooltip(enum), "Levels.")
        self.assertEqual([tooltip(entry) for entry in enum.enumerators], ["Nothing at all.", "Fully on.", None])
        self.assertEqual(tooltip(struct), "A probe.\n\nSecond paragraph.")
        self.assertEqual([tooltip(prop) for prop in struct.properties], ["Block comment.", "Given"])
        self.assertEqual(tooltip(cls), "The class.")
        self.assertEqual(tooltip(cls.functions[0]), "Does it.")
        self.assertEqual(cls.metadata[-1][0], "ModuleRelativePath", "the tooltip goes before the module path")

    def test_only_a_comment_directly_above_counts(self):
        struct = parse(
            "USTRUCT()\nstruct FProbe\n{\n\tGENERATED_BODY()\n\t// About Hidden.\n\tint32 Hidden = 0;\n"
            "\tUPROPERTY()\n\tint32 A = 0; // About A, not B.\n\tUPROPERTY()\n\tint32 B = 0;\n"
            "\t// Across a blank line it still counts.\n\n\tUPROPERTY()\n\tint32 C = 0;\n};\n"
        ).structs[0]
        self.assertEqual([tooltip(prop) for prop in struct.properties], [None, None, "Across a blank line it still counts."])

    def test_unmended_headers_show_english_tooltips(self):
        found = {name: tooltip(item) for header in plugin_headers(UNMENDED_DIR).values() for name, item in every_reflected(header)}
        self.assertEqual(found["ESeatModelType"], "The enum values are the library's codes; they are passed on unchanged (widened to int32).")
        self.assertTrue(found["FSeatCurrentState::WindLevel"].startswith("The three levels are plain integers"))
        self.assertTrue(found["USeatDeviceConfig::RelaySlaveAddress"].startswith("The slave and register numbers"))
        self.assertTrue(found["USeatDeviceManager"].startswith("The one object through which game code"))
        self.assertEqual(found["USeatDeviceManager::ActiveConfig"], "Reflected only so that the garbage collector keeps the configuration in force alive.")

    def test_plugin_tooltips_are_only_the_chinese_ones_given(self):
        chinese = re.compile("[\u4e00-\u9fff]")
        with_tooltip = []
        headers = plugin_headers(PLUGIN_HEADERS_DIR)
        for header in headers.values():
            for name, item in every_reflected(header):
                text = tooltip(item)
                if text is not None:
                    with_tooltip.append(name)
                    self.assertRegex(text, chinese, name)
        # The product's tooltips: the two structs and the asset, every parameter field, the asset's five section
        # headers, and every Blueprint function of the manager; nothing else (no enum, no manager, no ActiveConfig).
        expected = ["FSeatCurrentState", "FSeatConnectParams", "USeatDeviceConfig"]
        expected += ["FSeatConnectParams::" + name for name in
                     ("SeatType", "UdpIp", "UdpPort", "bEnableEffects", "RelayIp", "RelayPort", "SpeedIp", "SpeedPort")]
        expected += ["USeatDeviceConfig::" + name for name in ("SeatType", "UdpIp", "bEnableEffects", "RelayIp", "SpeedIp")]
        functions = [name for name in with_tooltip if name.startswith("USeatDeviceManager::")]
        self.assertEqual(sorted(set(with_tooltip) - set(functions)), sorted(expected))
        manager = headers["SeatDeviceManager"].structs[0]
        self.assertEqual(sorted(functions), sorted("USeatDeviceManager::" + function.name for function in manager.functions))


class GeneratedConstructorsTest(unittest.TestCase):
    def generated(self, body):
        header = parse("UCLASS()\nclass UProbe : public UObject\n{\n\tGENERATED_BODY()\npublic:\n" + body + "};\n")
        return generated_header(header, "Probe"), generated_source(header, "Probe", "/Script/Probe")

    def test_what_the_class_does_not_declare_is_defined_in_the_generated_source(self):
        declarations, definitions = self.generated("")
        for declaration in ("UProbe();", "UProbe(FVTableHelper& Helper);", "virtual ~UProbe();"):
            self.assertIn(declaration, declarations)
        for definition in ("UProbe::UProbe() {}", "UProbe::UProbe(FVTableHelper& Helper) : Super(Helper) {}", "UProbe::~UProbe() {}"):
            self.assertIn(definition, definitions)

    def test_what_the_class_declares_is_left_to_it(self):
        declarations, definitions = self.generated("\tUProbe();\n\tKARVEL_API UProbe(FVTableHelper& Helper);\n\tvirtual ~UProbe() override;\n")
        self.assertNotIn("UProbe(", declarations.split("StaticClass();")[1])
        self.assertNotIn("UProbe::UProbe", definitions)
        self.assertNotIn("UProbe::~UProbe", definitions)
        self.assertIn("std::make_unique<UProbe>(Helper)", definitions, "the class is still built through the helper")


class ComponentClassTest(unittest.TestCase):
    def test_component_group_plain_bases_and_editor_buttons(self):
        header = parse(
            "UCLASS(ClassGroup = (SeatDevice, Vehicles), meta = (BlueprintSpawnableComponent))\n"
            "class KARVEL_API UProbe : public UActorComponent, public ISource, private Outer::IOther\n"
            "{\n\tGENERATED_BODY()\npublic:\n"
            '\tUFUNCTION(CallInEditor, Category = "X")\n\tvoid Button();\n};\n'
        )
        probe = header.structs[0]
        self.assertEqual(probe.super_name, "UActorComponent")
        self.assertEqual(dict(probe.metadata)["ClassGroupNames"], "SeatDevice Vehicles")
        self.assertIn("BlueprintSpawnableComponent", dict(probe.metadata))
        button = probe.functions[0]
        self.assertEqual(dict(button.metadata)["CallInEditor"], "true")
        self.assertNotIn("FUNC_BlueprintCallable", button.flags, "an editor button is not a Blueprint node")

    def test_motion_declarations_all_carry_chinese_tooltips(self):
        chinese = re.compile("[\u4e00-\u9fff]")
        headers = []
        for stem in ("SeatMotionComponent", "SeatMotionProfile", "SeatDeviceAsyncAction"):
            with open(os.path.join(PLUGIN_HEADERS_DIR, stem + ".h"), encoding="utf-8-sig") as source:
                headers.append(parse_header(stem + ".h", f"Public/{stem}.h", source.read()))
        for header in headers:
            for name, item in every_reflected(header):
                if "::" in name and name.startswith("E"):
                    continue  # enumerators show their display names
                self.assertRegex(tooltip(item) or "", chinese, name)

    def test_class_group_takes_a_list_only_on_classes(self):
        with self.assertRaises(HeaderError):
            parse("USTRUCT(ClassGroup = (A))\nstruct FProbe\n{\n\tGENERATED_BODY()\n};\n")


class AsyncNodeTest(unittest.TestCase):
    """What an async Blueprint node declares: delegate types, assignable delegate properties, static factories."""

    def test_delegates_assignable_properties_and_static_factories(self):
        header = parse(
            "DECLARE_DYNAMIC_MULTICAST_DELEGATE(FDone);\n"
            "DECLARE_DYNAMIC_MULTICAST_DELEGATE_OneParam(FCounted, int32, Count);\n"
            "UCLASS()\nclass UProbe : public UBlueprintAsyncActionBase\n{\n\tGENERATED_BODY()\npublic:\n"
            "\tUPROPERTY(BlueprintAssignable)\n\tFDone Done;\n"
            "\tUPROPERTY(BlueprintAssignable)\n\tFCounted Counted;\n"
            '\tUFUNCTION(BlueprintCallable, Category = "X", meta = (BlueprintInternalUseOnly = "true"))\n'
            "\tstatic UProbe* Start(UObject* Context, const FString& Name = TEXT(\"seat\"));\n};\n"
        )
        self.assertEqual([(delegate.name, delegate.parameters) for delegate in header.delegates],
                         [("FDone", []), ("FCounted", [("int32", "Count")])])
        probe = header.structs[0]
        self.assertEqual([(prop.name, prop.kind, prop.type_name, prop.flags) for prop in probe.properties],
                         [("Done", "MulticastDelegate", "FDone", ["CPF_BlueprintAssignable"]),
                          ("Counted", "MulticastDelegate", "FCounted", ["CPF_BlueprintAssignable"])])
        start = probe.functions[0]
        self.assertEqual(start.flags, ["FUNC_Final", "FUNC_Native", "FUNC_Public", "FUNC_Static", "FUNC_BlueprintCallable"])
        self.assertEqual(dict(start.metadata)["BlueprintInternalUseOnly"], "true")
        self.assertEqual(dict(start.metadata)["CPP_Default_Name"], "seat")
        self.assertEqual([(parameter.name, parameter.kind) for parameter in start.parameters],
                         [("Context", "Object"), ("Name", "String"), ("ReturnValue", "Object")])
        self.assertIn("EPropertyKind::MulticastDelegate", generated_source(header, "Probe", "/Script/Probe"))

    def test_what_an_async_node_cannot_declare(self):
        for text, message, parser in (
            ("UPROPERTY(BlueprintAssignable)\n\tint32 Count = 0;", "must be a dynamic multicast delegate", manager_with),
            ('UFUNCTION(BlueprintCallable, Category = "X")\n\tstatic int32 F() const;', "cannot be const", manager_with),
            ("DECLARE_DYNAMIC_MULTICAST_DELEGATE_OneParam(FHalf, int32);\n", "a type and a name per parameter", parse),
        ):
            with self.subTest(message), self.assertRaises(HeaderError) as raised:
                parser(text)
            self.assertIn(message, str(raised.exception))


if __name__ == "__main__":
    unittest.main()
