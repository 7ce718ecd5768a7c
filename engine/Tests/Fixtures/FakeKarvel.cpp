// A seat library that records what it is asked, for the binding tests. It has the thirteen exports the
// plugin binds but not Ridova_SendPostureCommand; FAKE_KARVEL_OMIT_TURN_OFF leaves out one more, as an
// older release would. Fake_ functions let a test look inside the copy the plugin loaded. The plugin calls it
// from its motion runtime's thread while a test looks from its own.
#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <mutex>
#include <string>
#include <thread>

#if defined(_WIN32)
#define FAKE_EXPORT extern "C" __declspec(dllexport)
#else
#define FAKE_EXPORT extern "C" __attribute__((visibility("default")))
#endif

namespace
{
using LogCallback = void (*)(int, const char*);

std::mutex Mutex;
std::condition_variable Recorded;
std::string Calls;
std::atomic<LogCallback> Callback{nullptr};
std::atomic<int> ConfigureResult{1};
// How long a configuration takes, as one that connects to slow effect devices does.
std::atomic<int> ConfigureMilliseconds{0};
const char* Version = "Fake seat library 1.0";

// Also tells the log callback, at DEBUG as the real library reports its calls, so that a test can see calls
// in order with what the plugin does between them.
void Record(const char* Format, ...)
{
	char Call[256];
	va_list Args;
	va_start(Args, Format);
	std::vsnprintf(Call, sizeof(Call), Format, Args);
	va_end(Args);
	if (const LogCallback Current = Callback.load())
	{
		char Line[300];
		std::snprintf(Line, sizeof(Line), "[Ridova][DEBUG] call %s", Call);
		Current(0, Line);
	}
	{
		std::lock_guard<std::mutex> Lock(Mutex);
		Calls += Call;
		Calls += ';';
	}
	Recorded.notify_all();
}

std::size_t CountCalls(const std::string& Text, const char* Prefix)
{
	std::size_t Count = 0;
	const std::size_t Length = std::strlen(Prefix);
	for (std::size_t Start = 0; Start < Text.size();)
	{
		const std::size_t End = Text.find(';', Start);
		if (Text.compare(Start, Length, Prefix) == 0)
		{
			++Count;
		}
		Start = End == std::string::npos ? Text.size() : End + 1;
	}
	return Count;
}
}

FAKE_EXPORT bool Ridova_SetConfiguration(int Model, const char* UdpIp, int UdpPort, int Effects, const char* RelayIp,
	int RelayPort, const char* SpeedIp, int SpeedPort)
{
	std::this_thread::sleep_for(std::chrono::milliseconds(ConfigureMilliseconds.load()));
	Record("Configure(%d,%s,%d,%d,%s,%d,%s,%d)", Model, UdpIp ? UdpIp : "null", UdpPort, Effects,
		RelayIp ? RelayIp : "null", RelayPort, SpeedIp ? SpeedIp : "null", SpeedPort);
	return ConfigureResult != 0;
}

FAKE_EXPORT bool Ridova_SetUdpEndpoint(const char* Ip, int Port)
{
	Record("SetUdpEndpoint(%s,%d)", Ip, Port);
	return ConfigureResult != 0;
}

FAKE_EXPORT bool Ridova_SetEffectsEndpoints(const char* RelayIp, int RelayPort, const char* SpeedIp, int SpeedPort)
{
	Record("SetEffectsEndpoints(%s,%d,%s,%d)", RelayIp, RelayPort, SpeedIp, SpeedPort);
	return ConfigureResult != 0;
}

FAKE_EXPORT void Ridova_Release() { Record("Release"); }
FAKE_EXPORT void Ridova_ResetPosition() { Record("ResetPosition"); }
#ifndef FAKE_KARVEL_OMIT_TURN_OFF
FAKE_EXPORT void Ridova_TurnOffAllEffects() { Record("TurnOffAllEffects"); }
#endif
FAKE_EXPORT void Ridova_SendSeatPosture(float Pitch, float Roll, float Yaw, float Height)
{
	Record("Posture(%.9g,%.9g,%.9g,%.9g)", Pitch, Roll, Yaw, Height);
}
FAKE_EXPORT void Ridova_SetWindSpeed(int Level) { Record("Wind(%d)", Level); }
FAKE_EXPORT void Ridova_SetWaterMist(int Level) { Record("Mist(%d)", Level); }
FAKE_EXPORT void Ridova_SetScent(int Level) { Record("Scent(%d)", Level); }
FAKE_EXPORT void Ridova_SetHeater(int On) { Record("Heater(%d)", On); }
FAKE_EXPORT const char* Ridova_GetVersion() { return Version; }
FAKE_EXPORT void Ridova_SetLogCallback(LogCallback NewCallback)
{
	Callback = NewCallback;
	Record(NewCallback ? "SetLogCallback(set)" : "SetLogCallback(null)");
}

// Copies the calls, "Configure(...);Posture(...);", into Out (at most Size bytes with the NUL); returns the length of
// the whole text, so that a caller whose buffer was short asks again with a larger one.
FAKE_EXPORT int Fake_CopyCalls(char* Out, int Size)
{
	std::lock_guard<std::mutex> Lock(Mutex);
	if (Size > 0)
	{
		const std::size_t Copied = std::min(Calls.size(), static_cast<std::size_t>(Size - 1));
		std::memcpy(Out, Calls.data(), Copied);
		Out[Copied] = '\0';
	}
	return static_cast<int>(Calls.size());
}
FAKE_EXPORT void Fake_ClearCalls()
{
	std::lock_guard<std::mutex> Lock(Mutex);
	Calls.clear();
}
// Waits at most TimeoutMs until Count calls beginning with Prefix have been recorded since the last clear.
FAKE_EXPORT int Fake_WaitForCalls(const char* Prefix, int Count, int TimeoutMs)
{
	std::unique_lock<std::mutex> Lock(Mutex);
	return Recorded.wait_for(Lock, std::chrono::milliseconds(TimeoutMs),
		[&] { return CountCalls(Calls, Prefix) >= static_cast<std::size_t>(Count); }) ? 1 : 0;
}
FAKE_EXPORT void Fake_SetResult(int Result) { ConfigureResult = Result; }
FAKE_EXPORT void Fake_SetConfigureMilliseconds(int Milliseconds) { ConfigureMilliseconds = Milliseconds; }
FAKE_EXPORT void Fake_SetVersion(const char* NewVersion) { Version = NewVersion; }
FAKE_EXPORT void Fake_Log(int Level, const char* Message)
{
	if (const LogCallback Current = Callback.load())
	{
		Current(Level, Message);
	}
}
