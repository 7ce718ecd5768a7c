#pragma once

// Seconds on a monotonic clock (in the stand-in: a test may hold it still with UE::StandIn::SetFixedSeconds).
struct FPlatformTime
{
	static double Seconds();
};
