#pragma once

// Knobs that the engine sets up itself and tests set here: they are not part of the engine's interface.

#include "Containers/UnrealString.h"

#include <vector>

namespace UE::StandIn
{
void SetProjectDir(const FString& Dir);

void MountPlugin(const FString& Name, const FString& BaseDir);
void UnmountAllPlugins();

// Every FPlatformProcess::Sleep request in order, so waits can be checked without timing them.
std::vector<float> GetSleepRequests();
void ClearSleepRequests();
}
