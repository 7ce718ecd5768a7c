#pragma once

#include "Subsystems/Subsystem.h"

class UGameInstance;

class UGameInstanceSubsystem : public USubsystem
{
	UE_STANDIN_ENGINE_CLASS(UGameInstanceSubsystem, USubsystem)

	UGameInstance* GetGameInstance() const;
};
