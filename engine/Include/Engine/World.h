#pragma once

#include "Engine/EngineBaseTypes.h"
#include "StandIn/StandInControl.h"
#include "Engine/EngineTypes.h"
#include "GameFramework/Actor.h"
#include "UObject/Object.h"

#include <vector>

class UGameInstance;

// A world of actors. Time advances only through Tick; a paused world still advances its real time and ticks
// only what ticks even when paused.
class UWorld : public UObject
{
	UE_STANDIN_ENGINE_CLASS(UWorld, UObject)

	UGameInstance* GetGameInstance() const { return OwningGameInstance; }
	void SetGameInstance(UGameInstance* NewGI) { OwningGameInstance = NewGI; }

	template <typename T>
	T* SpawnActor()
	{
		return static_cast<T*>(SpawnActorOfClass(T::StaticClass()));
	}

	// Begins play for every actor in the world; actors spawned later begin at once.
	void BeginPlay();
	bool HasBegunPlay() const { return bBegunPlay; }

	void Tick(ELevelTick TickType, float DeltaSeconds);
	bool IsPaused() const { return bPaused; }
	// Standalone unless set (UE::StandIn::SetNetMode).
	ENetMode GetNetMode() const { return NetMode; }
	// The last tick's time step; game time and real time since play began.
	float GetDeltaSeconds() const { return DeltaTimeSeconds; }
	double GetTimeSeconds() const { return TimeSeconds; }
	double GetRealTimeSeconds() const { return RealTimeSeconds; }
	// Gravity along world Z, cm/s^2 (the engine's default: down at 980).
	float GetGravityZ() const { return -980.0f; }

	void AddReferencedObjects(FReferenceCollector& Collector) const override;

private:
	friend class AActor;
	friend class UGameplayStatics;
	friend void UE::StandIn::SetNetMode(UWorld&, ENetMode);

	AActor* SpawnActorOfClass(UClass* Class);
	void RemoveActor(AActor* Actor);

	UGameInstance* OwningGameInstance = nullptr;
	std::vector<AActor*> Actors;
	bool bBegunPlay = false;
	bool bPaused = false;
	ENetMode NetMode = NM_Standalone;
	float DeltaTimeSeconds = 0.0f;
	double TimeSeconds = 0.0;
	double RealTimeSeconds = 0.0;
};
