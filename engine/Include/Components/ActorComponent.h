#pragma once

#include "Engine/EngineBaseTypes.h"
#include "Engine/EngineTypes.h"
#include "UObject/Object.h"

class AActor;
class UWorld;

// Behaviour added to an actor. Its outer is the owning actor; RegisterComponent lets the world tick it and,
// when the owner already plays, begins its play.
class UActorComponent : public UObject
{
	UE_STANDIN_ENGINE_CLASS(UActorComponent, UObject)

	UActorComponent();

	FActorComponentTickFunction PrimaryComponentTick;

	AActor* GetOwner() const;
	UWorld* GetWorld() const;

	void RegisterComponent();
	bool IsRegistered() const { return bRegistered; }
	bool HasBegunPlay() const { return bHasBegunPlay; }

	void SetComponentTickEnabled(bool bEnabled) { PrimaryComponentTick.SetTickFunctionEnable(bEnabled); }
	bool IsComponentTickEnabled() const { return PrimaryComponentTick.IsTickFunctionEnabled(); }
	void SetTickableWhenPaused(bool bTickableWhenPaused) { PrimaryComponentTick.bTickEvenWhenPaused = bTickableWhenPaused; }

	virtual void BeginPlay();
	virtual void EndPlay(const EEndPlayReason::Type EndPlayReason);
	virtual void TickComponent(float DeltaTime, ELevelTick TickType, FActorComponentTickFunction* ThisTickFunction);

private:
	bool bRegistered = false;
	bool bHasBegunPlay = false;
};
