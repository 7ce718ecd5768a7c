#include "CoreGlobals.h"
#include "Containers/StringConv.h"
#include "Misc/OutputDevice.h"

#include <algorithm>
#include <cstdio>
#include <mutex>
#include <vector>

DEFINE_LOG_CATEGORY(LogTemp);

namespace
{
const char* VerbosityName(ELogVerbosity::Type Verbosity)
{
	switch (Verbosity)
	{
	case ELogVerbosity::Fatal: return "Fatal";
	case ELogVerbosity::Error: return "Error";
	case ELogVerbosity::Warning: return "Warning";
	case ELogVerbosity::Display: return "Display";
	case ELogVerbosity::Log: return "Log";
	case ELogVerbosity::Verbose: return "Verbose";
	default: return "VeryVerbose";
	}
}

struct FRedirectorState
{
	std::mutex Mutex;
	std::vector<FOutputDevice*> Devices;
};

FRedirectorState& GetRedirectorState()
{
	static FRedirectorState State;
	return State;
}
}

FOutputDeviceRedirector& FOutputDeviceRedirector::Get()
{
	GetRedirectorState();
	static FOutputDeviceRedirector Redirector;
	return Redirector;
}

void FOutputDeviceRedirector::AddOutputDevice(FOutputDevice* Device)
{
	FRedirectorState& State = GetRedirectorState();
	std::lock_guard<std::mutex> Lock(State.Mutex);
	State.Devices.push_back(Device);
}

void FOutputDeviceRedirector::RemoveOutputDevice(FOutputDevice* Device)
{
	FRedirectorState& State = GetRedirectorState();
	std::lock_guard<std::mutex> Lock(State.Mutex);
	State.Devices.erase(std::remove(State.Devices.begin(), State.Devices.end(), Device), State.Devices.end());
}

namespace UE::StandIn
{
void WriteLogLine(const FLogCategoryBase& Category, ELogVerbosity::Type Verbosity, const FString& Line)
{
	FRedirectorState& State = GetRedirectorState();
	// One lock for the whole line keeps lines from several threads whole, on stderr and in every device.
	std::lock_guard<std::mutex> Lock(State.Mutex);
	std::fprintf(stderr, "%s: %s: %s\n", TCHAR_TO_UTF8(*Category.GetCategoryName()), VerbosityName(Verbosity), TCHAR_TO_UTF8(*Line));
	for (FOutputDevice* Device : State.Devices)
	{
		Device->Serialize(*Line, Verbosity, Category.GetCategoryName());
	}
}
}
