#pragma once

#include "UObject/Class.h"

#include <memory>
#include <string>
#include <string_view>
#include <vector>

// A script package such as "/Script/Karvel" and every type registered in it, in registration order.
class UPackage
{
public:
	explicit UPackage(std::string InName) : Name(std::move(InName)) {}
	UPackage(const UPackage&) = delete;
	UPackage& operator=(const UPackage&) = delete;

	const std::string& GetName() const { return Name; }

	UEnum& AddEnum(std::string EnumName, FMetaData MetaData);
	UScriptStruct& AddStruct(std::string StructName, FMetaData MetaData);
	UClass& AddClass(std::string ClassName, const UClass* Super, UClass::FFactory Factory, FMetaData MetaData);

	std::vector<const UEnum*> GetEnums() const;
	std::vector<const UScriptStruct*> GetStructs() const;
	std::vector<UClass*> GetClasses() const;

	UEnum* FindEnum(std::string_view EnumName) const;
	UScriptStruct* FindStruct(std::string_view StructName) const;
	UClass* FindClass(std::string_view ClassName) const;

private:
	std::string Name;
	std::vector<std::unique_ptr<UEnum>> Enums;
	std::vector<std::unique_ptr<UScriptStruct>> Structs;
	std::vector<std::unique_ptr<UClass>> Classes;
};

// Packages are built on first use from what the generated code registered.
const UPackage* FindScriptPackage(std::string_view PackageName);
std::vector<const UPackage*> GetAllScriptPackages();

namespace UE::StandIn
{
using FPackageBuilder = void (*)(UPackage& Package);
void RegisterCompiledInTypes(const char* PackageName, FPackageBuilder Builder);
// For StaticClass and friends: the type must exist, else the program is broken.
UEnum& FindEnumChecked(const char* PackageName, const char* EnumName);
UScriptStruct& FindStructChecked(const char* PackageName, const char* StructName);
UClass& FindClassChecked(const char* PackageName, const char* ClassName);
}
