#include "UObject/Object.h"
#include "UObject/UObjectGlobals.h"
#include "UObject/UnrealType.h"
#include "Misc/OutputDevice.h"
#include "StandIn/StandInControl.h"

#include <algorithm>
#include <unordered_set>

namespace UE::StandIn
{
// Owns every object; the garbage collector is the only thing that destroys them before exit.
class FObjectStore
{
public:
	static FObjectStore& Get()
	{
		static FObjectStore Store;
		return Store;
	}

	// The log outlives the store, so objects may still log from their destructors at exit.
	FObjectStore() { FOutputDeviceRedirector::Get(); }

	~FObjectStore()
	{
		// Newest first, so that objects go before the outers they were created in.
		while (!Objects.empty())
		{
			Objects.pop_back();
		}
	}

	UObject* Adopt(std::unique_ptr<UObject> Object, UClass* Class, UObject* Outer)
	{
		Object->ClassPrivate = Class;
		Object->OuterPrivate = Outer;
		Object->UniqueID = ++LastUniqueID;
		Objects.push_back(std::move(Object));
		return Objects.back().get();
	}

	static int32 ModifyCountOf(const UObject& Object) { return Object.ModifyCount; }

	bool IsLive(const UObject* Object, uint32 UniqueID) const
	{
		return Object && std::any_of(Objects.begin(), Objects.end(),
			[&](const std::unique_ptr<UObject>& Owned) { return Owned.get() == Object && Owned->UniqueID == UniqueID; });
	}

	void CollectGarbage()
	{
		std::unordered_set<const UObject*> Reachable;
		std::vector<UObject*> Pending;
		for (const std::unique_ptr<UObject>& Object : Objects)
		{
			if (Object->bRooted)
			{
				Pending.push_back(Object.get());
			}
		}
		while (!Pending.empty())
		{
			UObject* Object = Pending.back();
			Pending.pop_back();
			if (!Reachable.insert(Object).second)
			{
				continue;
			}
			FReferenceCollector Collector;
			CollectReferences(*Object, Collector);
			Pending.insert(Pending.end(), Collector.GetObjects().begin(), Collector.GetObjects().end());
		}
		// Destroy newest first, outside the vector, so destructors never see it half updated.
		std::vector<std::unique_ptr<UObject>> Unreachable;
		for (auto It = Objects.begin(); It != Objects.end();)
		{
			if (Reachable.count(It->get()))
			{
				++It;
				continue;
			}
			Unreachable.push_back(std::move(*It));
			It = Objects.erase(It);
		}
		while (!Unreachable.empty())
		{
			Unreachable.pop_back();
		}
	}

private:
	static void CollectReferences(const UObject& Object, FReferenceCollector& Collector)
	{
		Collector.AddReferencedObject(Object.OuterPrivate);
		for (const UStruct* Struct = Object.ClassPrivate; Struct; Struct = Struct->GetSuperStruct())
		{
			for (const FProperty* Property : Struct->GetProperties())
			{
				if (Property->GetKind() == EPropertyKind::Object)
				{
					const FObjectPtr* Reference = Property->ContainerPtrToValuePtr<FObjectPtr>(&Object);
					Collector.AddReferencedObject(Reference ? Reference->GetObject() : nullptr);
				}
			}
		}
		Object.AddReferencedObjects(Collector);
	}

	std::vector<std::unique_ptr<UObject>> Objects;
	uint32 LastUniqueID = 0;
};

UObject* AdoptNewObject(std::unique_ptr<UObject> Object, UClass* Class, UObject* Outer)
{
	return Object ? FObjectStore::Get().Adopt(std::move(Object), Class, Outer) : nullptr;
}

bool IsLiveObject(const UObject* Object, uint32 UniqueID)
{
	return FObjectStore::Get().IsLive(Object, UniqueID);
}

UObject* DuplicateObject(const UObject& Source, UObject* Outer)
{
	UClass* Class = Source.GetClass();
	if (!Class || !Class->CanCreateInstance())
	{
		return nullptr;
	}
	UObject* Copy = AdoptNewObject(Class->CreateInstance(), Class, Outer);
	for (const UStruct* Struct = Class; Struct; Struct = Struct->GetSuperStruct())
	{
		for (const FProperty* Property : Struct->GetProperties())
		{
			Property->CopyValue(&Source, Copy);
		}
	}
	return Copy;
}

int32 GetModifyCount(const UObject& Object)
{
	return FObjectStore::ModifyCountOf(Object);
}
}

void CollectGarbage()
{
	UE::StandIn::FObjectStore::Get().CollectGarbage();
}
