#pragma once

#include "CoreTypes.h"
#include "UObject/MetaData.h"

#include <optional>
#include <string>

class UEnum;
class UPackage;

enum class EPropertyKind : uint8
{
	Bool,
	Byte,
	Int,
	Float,
	Double,
	String,
	Enum,
	Struct,
	Object,
	// A dynamic multicast delegate that Blueprints bind to (BlueprintAssignable).
	MulticastDelegate
};

enum EPropertyFlags : uint64
{
	CPF_None = 0,
	CPF_Edit = 0x1,
	CPF_ConstParm = 0x2,
	CPF_BlueprintVisible = 0x4,
	CPF_BlueprintReadOnly = 0x10,
	CPF_Parm = 0x80,
	CPF_OutParm = 0x100,
	CPF_ReturnParm = 0x400,
	CPF_EditConst = 0x20000,
	CPF_ReferenceParm = 0x8000000,
	CPF_BlueprintAssignable = 0x10000000
};

// Returns the address of the property inside its container (struct or object); null for parameters.
using FPropertyAccessor = void* (*)(void* Container);

class FProperty : public FReflectedField
{
public:
	struct FParams
	{
		std::string Name;
		EPropertyKind Kind;
		std::string CppType;
		// The enum, struct or class named by an Enum, Struct or Object property.
		std::string TypeName;
		uint64 Flags;
		FPropertyAccessor Accessor;
		FMetaData MetaData;
	};

	FProperty(const UPackage& InPackage, FParams Params);

	EPropertyKind GetKind() const { return Kind; }
	const std::string& GetCPPType() const { return CppType; }
	const std::string& GetTypeName() const { return TypeName; }
	uint64 GetPropertyFlags() const { return Flags; }
	bool HasAnyPropertyFlags(uint64 Mask) const { return (Flags & Mask) != 0; }
	bool HasAllPropertyFlags(uint64 Mask) const { return (Flags & Mask) == Mask; }
	// The enum of an Enum property, looked up in the property's package.
	const UEnum* GetEnum() const;

	template <typename T>
	T* ContainerPtrToValuePtr(void* Container) const
	{
		return Accessor ? static_cast<T*>(Accessor(Container)) : nullptr;
	}
	template <typename T>
	const T* ContainerPtrToValuePtr(const void* Container) const
	{
		return ContainerPtrToValuePtr<T>(const_cast<void*>(Container));
	}

	// Bool, Byte, Int and Enum values as integers; nothing for other kinds.
	std::optional<int64> GetIntegerValue(const void* Container) const;
	// The value as the editor's copy command writes it: "true", "7408", "0.500000", "Tamsel", text as is.
	std::string ExportText(const void* Container) const;
	// Copies the value from one container to another of the same type. Struct values are beyond the stand-in.
	void CopyValue(const void* FromContainer, void* ToContainer) const;

private:
	const UPackage& Package;
	EPropertyKind Kind;
	std::string CppType;
	std::string TypeName;
	uint64 Flags;
	FPropertyAccessor Accessor;
};
