#pragma once

#include "CoreTypes.h"
#include "UObject/MetaData.h"
#include "UObject/UnrealType.h"

#include <memory>
#include <optional>
#include <string>
#include <vector>

class UObject;
class UPackage;

// A type with properties in declaration order: struct, class or function (whose properties are its parameters).
class UStruct : public FReflectedField
{
public:
	UStruct(const UPackage& InPackage, std::string InName, const UStruct* InSuper, FMetaData InMetaData);
	virtual ~UStruct() = default;

	const UPackage& GetPackage() const { return Package; }
	const UStruct* GetSuperStruct() const { return Super; }
	// Own properties only, in declaration order.
	std::vector<const FProperty*> GetProperties() const;
	// Searches this type, then its supertypes.
	const FProperty* FindPropertyByName(std::string_view PropertyName) const;

	FProperty& AddProperty(FProperty::FParams Params);

private:
	const UPackage& Package;
	const UStruct* Super;
	std::vector<std::unique_ptr<FProperty>> Properties;
};

class UScriptStruct : public UStruct
{
public:
	using UStruct::UStruct;
};

class UEnum : public FReflectedField
{
public:
	using FReflectedField::FReflectedField;

	void AddEnumerator(std::string EnumeratorName, int64 Value, FMetaData EnumeratorMetaData);

	int32 NumEnums() const { return static_cast<int32>(Entries.size()); }
	const std::string& GetNameStringByIndex(int32 Index) const { return Entries.at(Index).Name; }
	int64 GetValueByIndex(int32 Index) const { return Entries.at(Index).Value; }
	// The DisplayName metadata, else the enumerator's name.
	const std::string& GetDisplayNameTextByIndex(int32 Index) const;
	// Accepts "Orvida" and "ESeatModelType::Orvida".
	std::optional<int64> GetValueByNameString(std::string_view EnumeratorName) const;
	std::optional<int32> GetIndexByValue(int64 Value) const;

private:
	struct FEntry
	{
		std::string Name;
		int64 Value;
		FMetaData MetaData;
	};
	std::vector<FEntry> Entries;
};

enum EFunctionFlags : uint32
{
	FUNC_None = 0,
	FUNC_Final = 0x1,
	FUNC_Static = 0x2000,
	FUNC_Native = 0x400,
	FUNC_Public = 0x20000,
	FUNC_Private = 0x40000,
	FUNC_Protected = 0x80000,
	FUNC_BlueprintCallable = 0x4000000,
	FUNC_BlueprintPure = 0x10000000,
	FUNC_Const = 0x40000000
};

class UFunction : public UStruct
{
public:
	UFunction(const UPackage& InPackage, std::string InName, uint32 InFlags, FMetaData InMetaData)
		: UStruct(InPackage, std::move(InName), nullptr, std::move(InMetaData)), Flags(InFlags)
	{
	}

	uint32 GetFunctionFlags() const { return Flags; }
	bool HasAnyFunctionFlags(uint32 Mask) const { return (Flags & Mask) != 0; }
	bool HasAllFunctionFlags(uint32 Mask) const { return (Flags & Mask) == Mask; }
	const FProperty* GetReturnProperty() const;

private:
	uint32 Flags;
};

class UClass : public UStruct
{
public:
	// Null for classes that cannot be instantiated.
	using FFactory = std::unique_ptr<UObject> (*)();

	UClass(const UPackage& InPackage, std::string InName, const UClass* InSuper, FFactory InFactory, FMetaData InMetaData)
		: UStruct(InPackage, std::move(InName), InSuper, std::move(InMetaData)), Factory(InFactory)
	{
	}

	const UClass* GetSuperClass() const { return static_cast<const UClass*>(GetSuperStruct()); }
	bool IsChildOf(const UClass* Other) const;
	bool CanCreateInstance() const { return Factory != nullptr; }
	std::unique_ptr<UObject> CreateInstance() const;

	// An object built with the class's FVTableHelper constructor, as hot reload builds one to read its vtable.
	void SetVTableHelperFactory(FFactory InFactory) { VTableHelperFactory = InFactory; }
	std::unique_ptr<UObject> CreateVTableHelperInstance() const;

	UFunction& AddFunction(std::string FunctionName, uint32 FunctionFlags, FMetaData FunctionMetaData);
	// In registration order (sorted by name, as the engine registers them).
	std::vector<const UFunction*> GetFunctions() const;
	const UFunction* FindFunctionByName(std::string_view FunctionName) const;

private:
	FFactory Factory;
	FFactory VTableHelperFactory = nullptr;
	std::vector<std::unique_ptr<UFunction>> Functions;
};
