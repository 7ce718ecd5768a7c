"""The header tool refuses what the engine's header tool refuses, and derives Blueprint defaults as the engine does."""

import unittest

from khtool.errors import HeaderError
from khtool.parser import parse_header
from khtool.types import resolve

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

    def test_generated_body_line_counts_comments_and_strings(self):
        header = parse('/* two\n lines */\nUSTRUCT(meta = (ToolTip = "a \\"quoted\\" // not a comment"))\nstruct FProbe\n{\n\tGENERATED_BODY()\n};\n')
        self.assertEqual(header.structs[0].body_line, 9)
        self.assertEqual(dict(header.structs[0].metadata)["ToolTip"], 'a "quoted" // not a comment')


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

    def test_class_group_takes_a_list_only_on_classes(self):
        with self.assertRaises(HeaderError):
            parse("USTRUCT(ClassGroup = (A))\nstruct FProbe\n{\n\tGENERATED_BODY()\n};\n")


if __name__ == "__main__":
    unittest.main()
