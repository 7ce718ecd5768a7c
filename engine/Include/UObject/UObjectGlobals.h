#pragma once

#include "UObject/Object.h"

#include <memory>
#include <type_traits>

namespace UE::StandIn
{
// Hands the object to the object store, which owns every object until the garbage collector frees it.
UObject* AdoptNewObject(std::unique_ptr<UObject> Object, UClass* Class, UObject* Outer);
bool IsLiveObject(const UObject* Object, uint32 UniqueID);
// A new object of Source's class in Outer with Source's reflected property values.
UObject* DuplicateObject(const UObject& Source, UObject* Outer);
}

template <typename T>
T* NewObject(UObject* Outer = nullptr)
{
	static_assert(std::is_base_of_v<UObject, T>, "NewObject creates UObjects only");
	return static_cast<T*>(UE::StandIn::AdoptNewObject(std::make_unique<T>(), T::StaticClass(), Outer));
}

// Creates an instance of Class, which must derive from T; null when the class cannot be instantiated.
template <typename T>
T* NewObject(UObject* Outer, UClass* Class)
{
	if (!Class || !Class->IsChildOf(T::StaticClass()) || !Class->CanCreateInstance())
	{
		return nullptr;
	}
	return static_cast<T*>(UE::StandIn::AdoptNewObject(Class->CreateInstance(), Class, Outer));
}

// A copy of SourceObject, of its own class, with Outer as its outer; null for a null source.
template <typename T>
T* DuplicateObject(const T* SourceObject, UObject* Outer)
{
	return SourceObject ? static_cast<T*>(UE::StandIn::DuplicateObject(*SourceObject, Outer)) : nullptr;
}

template <typename T>
T* Cast(UObject* Object)
{
	return Object && Object->IsA(T::StaticClass()) ? static_cast<T*>(Object) : nullptr;
}

template <typename T>
const T* Cast(const UObject* Object)
{
	return Object && Object->IsA(T::StaticClass()) ? static_cast<const T*>(Object) : nullptr;
}

// Frees every object that no rooted object reaches through outers, reflected object properties
// or AddReferencedObjects.
void CollectGarbage();
