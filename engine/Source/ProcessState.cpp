// What the process was started as and where its clock stands, with the stand-in's knobs for both.
#include "HAL/PlatformTime.h"
#include "Misc/CoreMisc.h"
#include "StandIn/StandInControl.h"

#include <atomic>
#include <chrono>
#include <cmath>
#include <limits>

namespace
{
std::atomic<bool> GRunningDedicatedServer{false};
// NaN while the clock runs.
std::atomic<double> GFixedSeconds{std::numeric_limits<double>::quiet_NaN()};
}

bool IsRunningDedicatedServer()
{
	return GRunningDedicatedServer.load();
}

double FPlatformTime::Seconds()
{
	const double Fixed = GFixedSeconds.load();
	if (!std::isnan(Fixed))
	{
		return Fixed;
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
	GFixedSeconds.store(Seconds.value_or(std::numeric_limits<double>::quiet_NaN()));
}
}
