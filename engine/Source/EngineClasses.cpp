#include "Components/PrimitiveComponent.h"
#include "Engine/DataAsset.h"
#include "Engine/GameInstance.h"
#include "Engine/World.h"
#include "GameFramework/Actor.h"
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
	Package.AddClass("AActor", UObject::StaticClass(), &Construct<AActor>, {});
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

void UGameInstance::AddReferencedObjects(FReferenceCollector& Collector) const
{
	for (UGameInstanceSubsystem* Subsystem : Subsystems)
	{
		Collector.AddReferencedObject(Subsystem);
	}
}
