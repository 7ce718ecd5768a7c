#include "UObject/Class.h"
#include "Containers/StringConv.h"
#include "Containers/UnrealString.h"
#include "UObject/Object.h"
#include "UObject/Package.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>

namespace
{
template <typename T>
std::vector<const T*> ToPointers(const std::vector<std::unique_ptr<T>>& Owned)
{
	std::vector<const T*> Pointers;
	for (const std::unique_ptr<T>& Item : Owned)
	{
		Pointers.push_back(Item.get());
	}
	return Pointers;
}

template <typename T>
T* FindByName(const std::vector<std::unique_ptr<T>>& Owned, std::string_view Name)
{
	const auto Found = std::find_if(Owned.begin(), Owned.end(), [Name](const std::unique_ptr<T>& Item) { return Item->GetName() == Name; });
	return Found == Owned.end() ? nullptr : Found->get();
}
}

const std::string* FReflectedField::FindMetaData(std::string_view Key) const
{
	const auto Found = std::find_if(MetaData.begin(), MetaData.end(), [Key](const auto& Entry) { return Entry.first == Key; });
	return Found == MetaData.end() ? nullptr : &Found->second;
}

const std::string& FReflectedField::GetMetaData(std::string_view Key) const
{
	static const std::string Empty;
	const std::string* Value = FindMetaData(Key);
	return Value ? *Value : Empty;
}

FProperty::FProperty(const UPackage& InPackage, FParams Params)
	: FReflectedField(std::move(Params.Name), std::move(Params.MetaData)), Package(InPackage), Kind(Params.Kind),
	  CppType(std::move(Params.CppType)), TypeName(std::move(Params.TypeName)), Flags(Params.Flags), Accessor(Params.Accessor)
{
}

const UEnum* FProperty::GetEnum() const
{
	return Kind == EPropertyKind::Enum ? Package.FindEnum(TypeName) : nullptr;
}

std::optional<int64> FProperty::GetIntegerValue(const void* Container) const
{
	const void* Value = ContainerPtrToValuePtr<void>(Container);
	if (!Value)
	{
		return std::nullopt;
	}
	switch (Kind)
	{
	case EPropertyKind::Bool: return *static_cast<const bool*>(Value) ? 1 : 0;
	// Reflected enums are one byte wide, read here through their underlying type.
	case EPropertyKind::Byte:
	case EPropertyKind::Enum: return *static_cast<const uint8*>(Value);
	case EPropertyKind::Int: return *static_cast<const int32*>(Value);
	default: return std::nullopt;
	}
}

void FProperty::CopyValue(const void* FromContainer, void* ToContainer) const
{
	const void* From = ContainerPtrToValuePtr<void>(FromContainer);
	void* To = ContainerPtrToValuePtr<void>(ToContainer);
	if (!From || !To)
	{
		return;
	}
	switch (Kind)
	{
	case EPropertyKind::Bool: *static_cast<bool*>(To) = *static_cast<const bool*>(From); return;
	case EPropertyKind::Byte:
	case EPropertyKind::Enum: *static_cast<uint8*>(To) = *static_cast<const uint8*>(From); return;
	case EPropertyKind::Int: *static_cast<int32*>(To) = *static_cast<const int32*>(From); return;
	case EPropertyKind::Float: *static_cast<float*>(To) = *static_cast<const float*>(From); return;
	case EPropertyKind::Double: *static_cast<double*>(To) = *static_cast<const double*>(From); return;
	case EPropertyKind::String: *static_cast<FString*>(To) = *static_cast<const FString*>(From); return;
	case EPropertyKind::Object: *static_cast<FObjectPtr*>(To) = *static_cast<const FObjectPtr*>(From); return;
	case EPropertyKind::Struct:
	case EPropertyKind::MulticastDelegate: break;
	}
	std::fprintf(stderr, "stand-in: cannot copy the property %s\n", GetName().c_str());
	std::abort();
}

std::string FProperty::ExportText(const void* Container) const
{
	const void* Value = ContainerPtrToValuePtr<void>(Container);
	if (!Value)
	{
		return {};
	}
	char Buffer[64];
	switch (Kind)
	{
	case EPropertyKind::Bool: return *static_cast<const bool*>(Value) ? "true" : "false";
	case EPropertyKind::Byte:
	case EPropertyKind::Int: return std::to_string(*GetIntegerValue(Container));
	case EPropertyKind::Float:
		std::snprintf(Buffer, sizeof(Buffer), "%f", static_cast<double>(*static_cast<const float*>(Value)));
		return Buffer;
	case EPropertyKind::Double:
		std::snprintf(Buffer, sizeof(Buffer), "%f", *static_cast<const double*>(Value));
		return Buffer;
	case EPropertyKind::String: return TCHAR_TO_UTF8(**static_cast<const FString*>(Value));
	case EPropertyKind::Enum:
	{
		const UEnum* Enum = GetEnum();
		const int64 Number = *GetIntegerValue(Container);
		const std::optional<int32> Index = Enum ? Enum->GetIndexByValue(Number) : std::nullopt;
		return Index ? Enum->GetNameStringByIndex(*Index) : std::to_string(Number);
	}
	case EPropertyKind::Object:
	{
		const UObject* Object = static_cast<const FObjectPtr*>(Value)->GetObject();
		return Object ? Object->GetClass()->GetName() : "None";
	}
	default: return {};
	}
}

UStruct::UStruct(const UPackage& InPackage, std::string InName, const UStruct* InSuper, FMetaData InMetaData)
	: FReflectedField(std::move(InName), std::move(InMetaData)), Package(InPackage), Super(InSuper)
{
}

std::vector<const FProperty*> UStruct::GetProperties() const
{
	return ToPointers(Properties);
}

const FProperty* UStruct::FindPropertyByName(std::string_view PropertyName) const
{
	for (const UStruct* Struct = this; Struct; Struct = Struct->Super)
	{
		if (const FProperty* Found = FindByName(Struct->Properties, PropertyName))
		{
			return Found;
		}
	}
	return nullptr;
}

FProperty& UStruct::AddProperty(FProperty::FParams Params)
{
	Properties.push_back(std::make_unique<FProperty>(Package, std::move(Params)));
	return *Properties.back();
}

void UEnum::AddEnumerator(std::string EnumeratorName, int64 Value, FMetaData EnumeratorMetaData)
{
	Entries.push_back({std::move(EnumeratorName), Value, std::move(EnumeratorMetaData)});
}

const std::string& UEnum::GetDisplayNameTextByIndex(int32 Index) const
{
	const FEntry& Entry = Entries.at(Index);
	const auto Found = std::find_if(Entry.MetaData.begin(), Entry.MetaData.end(), [](const auto& Pair) { return Pair.first == "DisplayName"; });
	return Found == Entry.MetaData.end() ? Entry.Name : Found->second;
}

std::optional<int64> UEnum::GetValueByNameString(std::string_view EnumeratorName) const
{
	const std::string Prefix = GetName() + "::";
	if (EnumeratorName.substr(0, Prefix.size()) == Prefix)
	{
		EnumeratorName.remove_prefix(Prefix.size());
	}
	for (const FEntry& Entry : Entries)
	{
		if (Entry.Name == EnumeratorName)
		{
			return Entry.Value;
		}
	}
	return std::nullopt;
}

std::optional<int32> UEnum::GetIndexByValue(int64 Value) const
{
	for (size_t Index = 0; Index < Entries.size(); ++Index)
	{
		if (Entries[Index].Value == Value)
		{
			return static_cast<int32>(Index);
		}
	}
	return std::nullopt;
}

const FProperty* UFunction::GetReturnProperty() const
{
	for (const FProperty* Property : GetProperties())
	{
		if (Property->HasAnyPropertyFlags(CPF_ReturnParm))
		{
			return Property;
		}
	}
	return nullptr;
}

bool UClass::IsChildOf(const UClass* Other) const
{
	for (const UClass* Class = this; Class; Class = Class->GetSuperClass())
	{
		if (Class == Other)
		{
			return true;
		}
	}
	return false;
}

std::unique_ptr<UObject> UClass::CreateVTableHelperInstance() const
{
	return VTableHelperFactory ? VTableHelperFactory() : nullptr;
}

std::unique_ptr<UObject> UClass::CreateInstance() const
{
	return Factory ? Factory() : nullptr;
}

UFunction& UClass::AddFunction(std::string FunctionName, uint32 FunctionFlags, FMetaData FunctionMetaData)
{
	Functions.push_back(std::make_unique<UFunction>(GetPackage(), std::move(FunctionName), FunctionFlags, std::move(FunctionMetaData)));
	return *Functions.back();
}

std::vector<const UFunction*> UClass::GetFunctions() const
{
	return ToPointers(Functions);
}

const UFunction* UClass::FindFunctionByName(std::string_view FunctionName) const
{
	return FindByName(Functions, FunctionName);
}

UEnum& UPackage::AddEnum(std::string EnumName, FMetaData MetaData)
{
	Enums.push_back(std::make_unique<UEnum>(std::move(EnumName), std::move(MetaData)));
	return *Enums.back();
}

UScriptStruct& UPackage::AddStruct(std::string StructName, FMetaData MetaData)
{
	Structs.push_back(std::make_unique<UScriptStruct>(*this, std::move(StructName), nullptr, std::move(MetaData)));
	return *Structs.back();
}

UClass& UPackage::AddClass(std::string ClassName, const UClass* Super, UClass::FFactory Factory, FMetaData MetaData)
{
	Classes.push_back(std::make_unique<UClass>(*this, std::move(ClassName), Super, Factory, std::move(MetaData)));
	return *Classes.back();
}

std::vector<const UEnum*> UPackage::GetEnums() const
{
	return ToPointers(Enums);
}

std::vector<const UScriptStruct*> UPackage::GetStructs() const
{
	return ToPointers(Structs);
}

std::vector<UClass*> UPackage::GetClasses() const
{
	std::vector<UClass*> Pointers;
	for (const std::unique_ptr<UClass>& Class : Classes)
	{
		Pointers.push_back(Class.get());
	}
	return Pointers;
}

UEnum* UPackage::FindEnum(std::string_view EnumName) const
{
	return FindByName(Enums, EnumName);
}

UScriptStruct* UPackage::FindStruct(std::string_view StructName) const
{
	return FindByName(Structs, StructName);
}

UClass* UPackage::FindClass(std::string_view ClassName) const
{
	return FindByName(Classes, ClassName);
}
