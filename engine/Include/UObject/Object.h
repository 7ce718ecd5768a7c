#pragma once

#include "CoreTypes.h"
#include "Containers/UnrealString.h"
#include "UObject/Class.h"
#include "UObject/ObjectMacros.h"
#include "UObject/ObjectPtr.h"

#include <vector>

class FReferenceCollector
{
public:
	void AddReferencedObject(UObject* Object)
	{
		if (Object)
		{
			Objects.push_back(Object);
		}
	}
	const std::vector<UObject*>& GetObjects() const { return Objects; }

private:
	std::vector<UObject*> Objects;
};

namespace UE::StandIn
{
class FObjectStore;
}

// Declares StaticClass for the engine's own classes, which are described by hand in the stand-in, and passes
// UObject's FVTableHelper constructor down to them, as the generated code of a subclass expects.
#define UE_STANDIN_ENGINE_CLASS(ClassName, SuperName) \
public:                                               \
	using Super = SuperName;                          \
	using ThisClass = ClassName;                      \
	using Super::Super;                               \
	static UClass* StaticClass();

class UObject
{
public:
	UObject() = default;
	explicit UObject(FVTableHelper&) {}
	virtual ~UObject() = default;
	UObject(const UObject&) = delete;
	UObject& operator=(const UObject&) = delete;

	static UClass* StaticClass();

	UClass* GetClass() const { return ClassPrivate; }
	UObject* GetOuter() const { return OuterPrivate; }
	// As the engine names an object created without a name: its class's name without the prefix letter, and a
	// number ("SeatMotionComponent_12").
	FString GetName() const;
	uint32 GetUniqueID() const { return UniqueID; }
	bool IsA(const UClass* Class) const { return ClassPrivate && ClassPrivate->IsChildOf(Class); }

	// Rooted objects, and everything they reach, survive garbage collection.
	void AddToRoot() { bRooted = true; }
	void RemoveFromRoot() { bRooted = false; }
	bool IsRooted() const { return bRooted; }

	// References the reflected properties cannot show, such as engine-owned containers.
	virtual void AddReferencedObjects(FReferenceCollector&) const {}

	// Before an edit: the editor records the object for undo and marks its package as changed. Here it is
	// only counted (UE::StandIn::GetModifyCount).
	virtual bool Modify(bool bAlwaysMarkDirty = true)
	{
		++ModifyCount;
		return bAlwaysMarkDirty;
	}

private:
	friend class UE::StandIn::FObjectStore;

	UClass* ClassPrivate = nullptr;
	UObject* OuterPrivate = nullptr;
	uint32 UniqueID = 0;
	bool bRooted = false;
	int32 ModifyCount = 0;
};

// The object's name, "None" for no object.
FString GetNameSafe(const UObject* Object);

#include "UObject/UObjectGlobals.h"
