// What the process was started as and where its clock stands, with the stand-in's knobs for both.
#include "HAL/PlatformTime.h"
#include "Misc/CoreMisc.h"
#include "StandIn/StandInControl.h"

#include <atomic>
#include <chrono>
#include <mutex>

namespace
{
std::atomic<bool> GRunningDedicatedServer{false};

struct FFixedSeconds
{
	std::mutex Mutex;
	std::optional<double> Value;
};

FFixedSeconds& GetFixedSeconds()
{
	static FFixedSeconds Fixed;
	return Fixed;
}
}

bool IsRunningDedicatedServer()
{
	return GRunningDedicatedServer.load();
}

double FPlatformTime::Seconds()
{
	{
		FFixedSeconds& Fixed = GetFixedSeconds();
		std::lock_guard<std::mutex> Lock(Fixed.Mutex);
		if (Fixed.Value)
		{
			return *Fixed.Value;
		}
	}
	return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count();
}

namespace UE::StandIn
{
void SetRunningDedicatedServer(bool bDedicated)
{
	GRunningDedicatedServer.store(bDedicated);
}

void SetFixedSeconds(std::optional<double> Seconds)
{
	FFixedSeconds& Fixed = GetFixedSeconds();
	std::lock_guard<std::mutex> Lock(Fixed.Mutex);
	Fixed.Value = Seconds;
}
}
