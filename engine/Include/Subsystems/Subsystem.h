#pragma once

#include "UObject/Object.h"

// Passed to Initialize; subsystems that depend on others would initialise them through it.
class FSubsystemCollectionBase
{
};

class USubsystem : public UObject
{
	UE_STANDIN_ENGINE_CLASS(USubsystem, UObject)

	virtual bool ShouldCreateSubsystem(UObject*) const { return true; }
	virtual void Initialize(FSubsystemCollectionBase&) {}
	virtual void Deinitialize() {}
};
