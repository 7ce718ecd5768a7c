#pragma once

#include "Components/SceneComponent.h"
#include "Containers/Array.h"
#include "Engine/EngineBaseTypes.h"
#include "Engine/EngineTypes.h"
#include "Math/Transform.h"
#include "UObject/Object.h"

class UGameInstance;
class UWorld;

// Something placed in a world. Its outer is the world; its transform is its root component's.
class AActor : public UObject
{
	UE_STANDIN_ENGINE_CLASS(AActor, UObject)

	FActorTickFunction PrimaryActorTick;

	UWorld* GetWorld() const;
	UGameInstance* GetGameInstance() const;
	// The world's mode in a networked game.
	ENetMode GetNetMode() const;

	// The actor that owns this one in the network's sense (a vehicle's player, say); kept alive with it.
	AActor* GetOwner() const { return Owner; }
	virtual void SetOwner(AActor* NewOwner) { Owner = NewOwner; }

	USceneComponent* GetRootComponent() const { return RootComponent; }
	bool SetRootComponent(USceneComponent* NewRootComponent);

	// Identity and the origin without a root component.
	FTransform GetActorTransform() const;
	FVector GetActorLocation() const;
	FRotator GetActorRotation() const;
	FQuat GetActorQuat() const;
	bool SetActorLocationAndRotation(FVector NewLocation, FRotator NewRotation);
	// The root component's velocity, in centimetres per second.
	virtual FVector GetVelocity() const;

	bool HasActorBegunPlay() const { return bActorHasBegunPlay; }
	// Ends play (EndPlay with Destroyed) and leaves the world; the object goes with the next garbage collection.
	bool Destroy();

	virtual void BeginPlay();
	virtual void EndPlay(const EEndPlayReason::Type EndPlayReason);
	virtual void Tick(float DeltaSeconds);

	void AddReferencedObjects(FReferenceCollector& Collector) const override;

private:
	friend class UActorComponent;
	friend class UWorld;

	void DispatchBeginPlay();
	void TickActorAndComponents(float DeltaSeconds, bool bPaused);

	USceneComponent* RootComponent = nullptr;
	AActor* Owner = nullptr;
	std::vector<UActorComponent*> OwnedComponents;
	bool bActorHasBegunPlay = false;
};
