#include "Components/ActorComponent.h"
#include "Engine/GameInstance.h"
#include "Engine/World.h"
#include "GameFramework/Actor.h"
#include "GameFramework/Controller.h"
#include "GameFramework/Pawn.h"
#include "Kismet/GameplayStatics.h"

#include <algorithm>

// Actors, their components and the world that ticks them, reduced to the order of calls the engine makes:
// components begin play after their actor's BeginPlay started them, tick after their actor, and end play
// before the actor leaves the world.

namespace
{
UWorld* FindWorld(const UObject* Object)
{
	for (UObject* Outer = const_cast<UObject*>(Object); Outer; Outer = Outer->GetOuter())
	{
		if (UWorld* World = Cast<UWorld>(Outer))
		{
			return World;
		}
	}
	return nullptr;
}

bool TicksNow(const FTickFunction& Function, bool bPaused)
{
	return Function.bCanEverTick && Function.IsTickFunctionEnabled() && (!bPaused || Function.bTickEvenWhenPaused);
}
}

UActorComponent::UActorComponent()
{
	PrimaryComponentTick.Target = this;
}

AActor* UActorComponent::GetOwner() const
{
	return Cast<AActor>(GetOuter());
}

UWorld* UActorComponent::GetWorld() const
{
	return FindWorld(this);
}

void UActorComponent::RegisterComponent()
{
	AActor* Owner = GetOwner();
	if (bRegistered || !Owner)
	{
		return;
	}
	bRegistered = true;
	PrimaryComponentTick.SetTickFunctionEnable(PrimaryComponentTick.bStartWithTickEnabled);
	Owner->OwnedComponents.push_back(this);
	if (Owner->HasActorBegunPlay())
	{
		BeginPlay();
	}
}

void UActorComponent::BeginPlay()
{
	bHasBegunPlay = true;
}

void UActorComponent::EndPlay(const EEndPlayReason::Type)
{
	bHasBegunPlay = false;
}

void UActorComponent::TickComponent(float, ELevelTick, FActorComponentTickFunction*)
{
}

UWorld* AActor::GetWorld() const
{
	return FindWorld(this);
}

ENetMode AActor::GetNetMode() const
{
	const UWorld* World = GetWorld();
	return World ? World->GetNetMode() : NM_Standalone;
}

UGameInstance* AActor::GetGameInstance() const
{
	const UWorld* World = GetWorld();
	return World ? World->GetGameInstance() : nullptr;
}

bool AActor::SetRootComponent(USceneComponent* NewRootComponent)
{
	if (NewRootComponent && NewRootComponent->GetOwner() != this)
	{
		return false;
	}
	RootComponent = NewRootComponent;
	return true;
}

FTransform AActor::GetActorTransform() const
{
	return RootComponent ? RootComponent->GetComponentTransform() : FTransform();
}

FVector AActor::GetActorLocation() const
{
	return RootComponent ? RootComponent->GetComponentLocation() : FVector::ZeroVector;
}

FRotator AActor::GetActorRotation() const
{
	return RootComponent ? RootComponent->GetComponentRotation() : FRotator();
}

FQuat AActor::GetActorQuat() const
{
	return RootComponent ? RootComponent->GetComponentQuat() : FQuat::Identity;
}

bool AActor::SetActorLocationAndRotation(FVector NewLocation, FRotator NewRotation)
{
	if (!RootComponent)
	{
		return false;
	}
	RootComponent->SetWorldLocationAndRotation(NewLocation, NewRotation);
	return true;
}

FVector AActor::GetVelocity() const
{
	return RootComponent ? RootComponent->GetComponentVelocity() : FVector::ZeroVector;
}

bool AActor::Destroy()
{
	UWorld* World = GetWorld();
	if (bActorHasBegunPlay)
	{
		EndPlay(EEndPlayReason::Destroyed);
	}
	if (World)
	{
		World->RemoveActor(this);
	}
	return true;
}

void AActor::DispatchBeginPlay()
{
	if (!bActorHasBegunPlay)
	{
		BeginPlay();
	}
}

void AActor::BeginPlay()
{
	bActorHasBegunPlay = true;
	// A copy: a component may register others while it begins.
	const std::vector<UActorComponent*> Components = OwnedComponents;
	for (UActorComponent* Component : Components)
	{
		if (!Component->HasBegunPlay())
		{
			Component->BeginPlay();
		}
	}
}

void AActor::EndPlay(const EEndPlayReason::Type EndPlayReason)
{
	bActorHasBegunPlay = false;
	const std::vector<UActorComponent*> Components = OwnedComponents;
	for (UActorComponent* Component : Components)
	{
		if (Component->HasBegunPlay())
		{
			Component->EndPlay(EndPlayReason);
		}
	}
}

void AActor::Tick(float)
{
}

void AActor::TickActorAndComponents(float DeltaSeconds, bool bPaused)
{
	if (TicksNow(PrimaryActorTick, bPaused))
	{
		Tick(DeltaSeconds);
	}
	const ELevelTick TickType = bPaused ? LEVELTICK_PauseTick : LEVELTICK_All;
	const std::vector<UActorComponent*> Components = OwnedComponents;
	for (UActorComponent* Component : Components)
	{
		if (Component->HasBegunPlay() && TicksNow(Component->PrimaryComponentTick, bPaused))
		{
			Component->TickComponent(DeltaSeconds, TickType, &Component->PrimaryComponentTick);
		}
	}
}

void AActor::AddReferencedObjects(FReferenceCollector& Collector) const
{
	Collector.AddReferencedObject(Owner);
	for (UActorComponent* Component : OwnedComponents)
	{
		Collector.AddReferencedObject(Component);
	}
}

AActor* UWorld::SpawnActorOfClass(UClass* Class)
{
	AActor* Actor = NewObject<AActor>(this, Class);
	if (Actor)
	{
		Actors.push_back(Actor);
		if (bBegunPlay)
		{
			Actor->DispatchBeginPlay();
		}
	}
	return Actor;
}

void UWorld::RemoveActor(AActor* Actor)
{
	Actors.erase(std::remove(Actors.begin(), Actors.end(), Actor), Actors.end());
}

void UWorld::BeginPlay()
{
	bBegunPlay = true;
	const std::vector<AActor*> Current = Actors;
	for (AActor* Actor : Current)
	{
		Actor->DispatchBeginPlay();
	}
}

void UWorld::Tick(ELevelTick TickType, float DeltaSeconds)
{
	RealTimeSeconds += DeltaSeconds;
	DeltaTimeSeconds = DeltaSeconds;
	if (!bPaused)
	{
		TimeSeconds += DeltaSeconds;
	}
	if (TickType == LEVELTICK_TimeOnly)
	{
		return;
	}
	const std::vector<AActor*> Current = Actors;
	for (AActor* Actor : Current)
	{
		Actor->TickActorAndComponents(DeltaSeconds, bPaused);
	}
}

void UWorld::AddReferencedObjects(FReferenceCollector& Collector) const
{
	for (AActor* Actor : Actors)
	{
		Collector.AddReferencedObject(Actor);
	}
}

bool UGameplayStatics::SetGamePaused(const UObject* WorldContextObject, bool bPaused)
{
	UWorld* World = FindWorld(WorldContextObject);
	if (!World)
	{
		return false;
	}
	World->bPaused = bPaused;
	return true;
}

bool UGameplayStatics::IsGamePaused(const UObject* WorldContextObject)
{
	const UWorld* World = FindWorld(WorldContextObject);
	return World && World->IsPaused();
}

bool APawn::IsLocallyControlled() const
{
	return Controller && Controller->IsLocalController();
}

bool APawn::IsPlayerControlled() const
{
	return Controller && Controller->IsPlayerController();
}

void APawn::EndPlay(const EEndPlayReason::Type EndPlayReason)
{
	Super::EndPlay(EndPlayReason);
	if (Controller)
	{
		Controller->UnPossess();
	}
}

void AController::Possess(APawn* InPawn)
{
	UnPossess();
	if (InPawn)
	{
		if (InPawn->Controller)
		{
			InPawn->Controller->UnPossess();
		}
		Pawn = InPawn;
		InPawn->Controller = this;
	}
}

void AController::UnPossess()
{
	if (Pawn)
	{
		Pawn->Controller = nullptr;
		Pawn = nullptr;
	}
}

void UE::StandIn::SetNetMode(UWorld& World, ENetMode NetMode)
{
	World.NetMode = NetMode;
}

void UE::StandIn::SetRemoteController(AController& Controller, bool bRemote)
{
	Controller.bRemote = bRemote;
}
