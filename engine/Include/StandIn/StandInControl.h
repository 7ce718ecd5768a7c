#pragma once

// Knobs that the engine sets up itself and tests set here: they are not part of the engine's interface.

#include "Containers/UnrealString.h"

#include <optional>
#include <vector>

class UGameInstance;
class UObject;

namespace UE::StandIn
{
void SetProjectDir(const FString& Dir);

void MountPlugin(const FString& Name, const FString& BaseDir);
void UnmountAllPlugins();

// Every FPlatformProcess::Sleep request in order, so waits can be checked without timing them.
std::vector<float> GetSleepRequests();
void ClearSleepRequests();

// A process started as a dedicated server, or one game instance run as a dedicated server in an editor process.
void SetRunningDedicatedServer(bool bDedicated);
void SetRunAsDedicated(UGameInstance& GameInstance, bool bDedicated);

// Holds FPlatformTime::Seconds at a value; nullopt lets the clock run again.
void SetFixedSeconds(std::optional<double> Seconds);

// How often the object's Modify was called.
int32 GetModifyCount(const UObject& Object);
}
