#pragma once

#include "UObject/Object.h"

// Observes an object without keeping it alive; null once the garbage collector freed it.
template <typename T>
class TWeakObjectPtr
{
public:
	TWeakObjectPtr() = default;
	TWeakObjectPtr(T* InObject)
		: Object(const_cast<UObject*>(static_cast<const UObject*>(InObject))), UniqueID(InObject ? InObject->GetUniqueID() : 0)
	{
	}

	T* Get() const { return UE::StandIn::IsLiveObject(Object, UniqueID) ? static_cast<T*>(Object) : nullptr; }
	bool IsValid() const { return Get() != nullptr; }

private:
	UObject* Object = nullptr;
	uint32 UniqueID = 0;
};
