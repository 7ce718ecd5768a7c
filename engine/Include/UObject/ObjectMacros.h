#pragma once

// Reflection markers: the header tool reads them, the compiler sees nothing but the generated bodies.

#define UENUM(...)
#define USTRUCT(...)
#define UCLASS(...)
#define UPROPERTY(...)
#define UFUNCTION(...)
#define UMETA(...)

#define BODY_MACRO_COMBINE_INNER(A, B, C, D) A##B##C##D
#define BODY_MACRO_COMBINE(A, B, C, D) BODY_MACRO_COMBINE_INNER(A, B, C, D)

// Expands to the body that the header tool generated for this line of this header.
#define GENERATED_BODY(...) BODY_MACRO_COMBINE(CURRENT_FILE_ID, _, __LINE__, _GENERATED_BODY)

// Selects the constructor that builds an object only for its vtable (hot reload). Every reflected class has
// one: the header tool defines it in the generated source unless the class declares it.
class FVTableHelper
{
public:
	FVTableHelper() = default;
};

class UEnum;
class UScriptStruct;
class UClass;

template <typename T>
UEnum* StaticEnum();
