#pragma once

// Knobs that the engine sets up itself and tests set here: they are not part of the engine's interface.

#include "Containers/UnrealString.h"
#include "Engine/EngineBaseTypes.h"

#include <optional>
#include <vector>

class AController;
class UGameInstance;
class UObject;
class UWorld;

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

// A world as a listen server or a client sees itself (worlds are standalone unless set).
void SetNetMode(UWorld& World, ENetMode NetMode);
// A controller that stands for a player on another machine (on a listen server, a client's player).
void SetRemoteController(AController& Controller, bool bRemote);

// Holds FPlatformTime::Seconds at a value; nullopt lets the clock run again.
void SetFixedSeconds(std::optional<double> Seconds);

// How often the object's Modify was called.
int32 GetModifyCount(const UObject& Object);
}
