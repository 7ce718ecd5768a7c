#pragma once

#include "StandIn/StandInControl.h"
#include "Subsystems/GameInstanceSubsystem.h"

#include <vector>

// Creates one of every game-instance subsystem class at Init and deinitialises them at Shutdown.
class UGameInstance : public UObject
{
	UE_STANDIN_ENGINE_CLASS(UGameInstance, UObject)

	virtual void Init();
	virtual void Shutdown();

	// A dedicated server process, or this instance run as the server of an editor session.
	bool IsDedicatedServerInstance() const;

	UGameInstanceSubsystem* GetSubsystemBase(const UClass* SubsystemClass) const;
	template <typename T>
	T* GetSubsystem() const
	{
		return static_cast<T*>(GetSubsystemBase(T::StaticClass()));
	}

	// Keeps an object alive as long as this game instance, until it is unregistered.
	virtual void RegisterReferencedObject(UObject* ObjectToReference);
	virtual void UnregisterReferencedObject(UObject* ObjectToReference);

	virtual void AddReferencedObjects(FReferenceCollector& Collector) const override;

private:
	friend void UE::StandIn::SetRunAsDedicated(UGameInstance&, bool);

	bool bRunAsDedicated = false;
	FSubsystemCollectionBase Collection;
	std::vector<UGameInstanceSubsystem*> Subsystems;
	std::vector<UObject*> ReferencedObjects;
};
