#include "Components/PrimitiveComponent.h"
#include "Engine/DataAsset.h"
#include "Engine/GameInstance.h"
#include "Engine/World.h"
#include "GameFramework/Actor.h"
#include "GameFramework/Controller.h"
#include "GameFramework/Pawn.h"
#include "GameFramework/PlayerController.h"
#include "Kismet/BlueprintAsyncActionBase.h"
#include "Containers/StringConv.h"
#include "Misc/CoreMisc.h"
#include "UObject/GeneratedCppIncludes.h"

#include <algorithm>

// The engine's own classes, described by hand since they are not the header tool's input.

namespace
{
constexpr const char* CoreUObjectPackage = "/Script/CoreUObject";
constexpr const char* EnginePackage = "/Script/Engine";

template <typename T>
std::unique_ptr<UObject> Construct()
{
	return std::make_unique<T>();
}

void BuildCoreUObject(UPackage& Package)
{
	Package.AddClass("UObject", nullptr, &Construct<UObject>, {});
}

void BuildEngine(UPackage& Package)
{
	Package.AddClass("UDataAsset", UObject::StaticClass(), &Construct<UDataAsset>, {});
	UClass& Subsystem = Package.AddClass("USubsystem", UObject::StaticClass(), nullptr, {});
	Package.AddClass("UGameInstanceSubsystem", &Subsystem, nullptr, {});
	Package.AddClass("UGameInstance", UObject::StaticClass(), &Construct<UGameInstance>, {});
	Package.AddClass("UWorld", UObject::StaticClass(), &Construct<UWorld>, {});
	UClass& Actor = Package.AddClass("AActor", UObject::StaticClass(), &Construct<AActor>, {});
	Package.AddClass("APawn", &Actor, &Construct<APawn>, {});
	UClass& Controller = Package.AddClass("AController", &Actor, &Construct<AController>, {});
	Package.AddClass("APlayerController", &Controller, &Construct<APlayerController>, {});
	Package.AddClass("UBlueprintAsyncActionBase", UObject::StaticClass(), &Construct<UBlueprintAsyncActionBase>, {});
	UClass& ActorComponent = Package.AddClass("UActorComponent", UObject::StaticClass(), nullptr, {});
	UClass& SceneComponent = Package.AddClass("USceneComponent", &ActorComponent, &Construct<USceneComponent>, {});
	Package.AddClass("UPrimitiveComponent", &SceneComponent, &Construct<UPrimitiveComponent>, {});
}

const FRegisterCompiledInInfo RegisterCoreUObject(CoreUObjectPackage, &BuildCoreUObject);
const FRegisterCompiledInInfo RegisterEngine(EnginePackage, &BuildEngine);
}

UClass* UObject::StaticClass() { return &UE::StandIn::FindClassChecked(CoreUObjectPackage, "UObject"); }
UClass* UDataAsset::StaticClass() { return &UE::StandIn::FindClassChecked(EnginePackage, "UDataAsset"); }
UClass* USubsystem::StaticClass() { return &UE::StandIn::FindClassChecked(EnginePackage, "USubsystem"); }
UClass* UGameInstanceSubsystem::StaticClass() { return &UE::StandIn::FindClassChecked(EnginePackage, "UGameInstanceSubsystem"); }
UClass* UGameInstance::StaticClass() { return &UE::StandIn::FindClassChecked(EnginePackage, "UGameInstance"); }
UClass* UWorld::StaticClass() { return &UE::StandIn::FindClassChecked(EnginePackage, "UWorld"); }
UClass* AActor::StaticClass() { return &UE::StandIn::FindClassChecked(EnginePackage, "AActor"); }
UClass* APawn::StaticClass() { return &UE::StandIn::FindClassChecked(EnginePackage, "APawn"); }
UClass* AController::StaticClass() { return &UE::StandIn::FindClassChecked(EnginePackage, "AController"); }
UClass* APlayerController::StaticClass() { return &UE::StandIn::FindClassChecked(EnginePackage, "APlayerController"); }
UClass* UBlueprintAsyncActionBase::StaticClass()
{
	return &UE::StandIn::FindClassChecked(EnginePackage, "UBlueprintAsyncActionBase");
}

FString UObject::GetName() const
{
	const std::string& ClassName = ClassPrivate ? ClassPrivate->GetName() : std::string("UObject");
	const std::string Name = ClassName.substr(ClassName.empty() ? 0 : 1) + "_" + std::to_string(UniqueID);
	return FString(UE::StandIn::Utf8ToUtf16(Name));
}

FString GetNameSafe(const UObject* Object)
{
	return Object ? Object->GetName() : FString(TEXT("None"));
}
UClass* UActorComponent::StaticClass() { return &UE::StandIn::FindClassChecked(EnginePackage, "UActorComponent"); }
UClass* USceneComponent::StaticClass() { return &UE::StandIn::FindClassChecked(EnginePackage, "USceneComponent"); }
UClass* UPrimitiveComponent::StaticClass() { return &UE::StandIn::FindClassChecked(EnginePackage, "UPrimitiveComponent"); }

UGameInstance* UGameInstanceSubsystem::GetGameInstance() const
{
	return Cast<UGameInstance>(GetOuter());
}

bool UGameInstance::IsDedicatedServerInstance() const
{
	return IsRunningDedicatedServer() || bRunAsDedicated;
}

void UE::StandIn::SetRunAsDedicated(UGameInstance& GameInstance, bool bDedicated)
{
	GameInstance.bRunAsDedicated = bDedicated;
}

void UGameInstance::Init()
{
	for (const UPackage* Package : GetAllScriptPackages())
	{
		for (UClass* Class : Package->GetClasses())
		{
			if (!Class->IsChildOf(UGameInstanceSubsystem::StaticClass()) || !Class->CanCreateInstance() || GetSubsystemBase(Class))
			{
				continue;
			}
			UGameInstanceSubsystem* Subsystem = NewObject<UGameInstanceSubsystem>(this, Class);
			if (Subsystem->ShouldCreateSubsystem(this))
			{
				Subsystems.push_back(Subsystem);
				Subsystem->Initialize(Collection);
			}
		}
	}
}

void UGameInstance::Shutdown()
{
	// Reverse order of initialisation; the objects themselves go with the next garbage collection.
	while (!Subsystems.empty())
	{
		UGameInstanceSubsystem* Subsystem = Subsystems.back();
		Subsystems.pop_back();
		Subsystem->Deinitialize();
	}
}

UGameInstanceSubsystem* UGameInstance::GetSubsystemBase(const UClass* SubsystemClass) const
{
	const auto Found = std::find_if(Subsystems.begin(), Subsystems.end(),
		[SubsystemClass](const UGameInstanceSubsystem* Subsystem) { return Subsystem->GetClass() == SubsystemClass; });
	return Found == Subsystems.end() ? nullptr : *Found;
}

void UGameInstance::RegisterReferencedObject(UObject* ObjectToReference)
{
	if (ObjectToReference && std::find(ReferencedObjects.begin(), ReferencedObjects.end(), ObjectToReference) == ReferencedObjects.end())
	{
		ReferencedObjects.push_back(ObjectToReference);
	}
}

void UGameInstance::UnregisterReferencedObject(UObject* ObjectToReference)
{
	ReferencedObjects.erase(std::remove(ReferencedObjects.begin(), ReferencedObjects.end(), ObjectToReference), ReferencedObjects.end());
}

void UGameInstance::AddReferencedObjects(FReferenceCollector& Collector) const
{
	for (UGameInstanceSubsystem* Subsystem : Subsystems)
	{
		Collector.AddReferencedObject(Subsystem);
	}
	for (UObject* Object : ReferencedObjects)
	{
		Collector.AddReferencedObject(Object);
	}
}

void UBlueprintAsyncActionBase::RegisterWithGameInstance(const UObject* WorldContextObject)
{
	for (UObject* Outer = const_cast<UObject*>(WorldContextObject); Outer; Outer = Outer->GetOuter())
	{
		if (const UWorld* World = Cast<UWorld>(Outer))
		{
			RegisterWithGameInstance(World->GetGameInstance());
			return;
		}
		if (UGameInstance* GameInstance = Cast<UGameInstance>(Outer))
		{
			RegisterWithGameInstance(GameInstance);
			return;
		}
	}
}

void UBlueprintAsyncActionBase::RegisterWithGameInstance(UGameInstance* GameInstance)
{
	if (!GameInstance)
	{
		return;
	}
	if (UGameInstance* Previous = RegisteredWithGameInstance.Get())
	{
		Previous->UnregisterReferencedObject(this);
	}
	GameInstance->RegisterReferencedObject(this);
	RegisteredWithGameInstance = GameInstance;
}

void UBlueprintAsyncActionBase::SetReadyToDestroy()
{
	if (UGameInstance* GameInstance = RegisteredWithGameInstance.Get())
	{
		GameInstance->UnregisterReferencedObject(this);
	}
	RegisteredWithGameInstance = nullptr;
}
