#pragma once

#include "Containers/UnrealString.h"
#include "Logging/LogVerbosity.h"

// Receives every log line that passes its category's verbosity.
class FOutputDevice
{
public:
	virtual ~FOutputDevice() = default;
	virtual void Serialize(const TCHAR* Line, ELogVerbosity::Type Verbosity, const FString& Category) = 0;
};

class FOutputDeviceRedirector
{
public:
	static FOutputDeviceRedirector& Get();
	void AddOutputDevice(FOutputDevice* Device);
	void RemoveOutputDevice(FOutputDevice* Device);
};
