// A seat library that records what it is asked, for the binding tests. It has the thirteen exports the
// plugin binds but not Ridova_SendPostureCommand; FAKE_KARVEL_OMIT_TURN_OFF leaves out one more, as an
// older release would. Fake_ functions let a test look inside the copy the plugin loaded.
#include <cstdarg>
#include <cstdio>
#include <cstring>

#if defined(_WIN32)
#define FAKE_EXPORT extern "C" __declspec(dllexport)
#else
#define FAKE_EXPORT extern "C" __attribute__((visibility("default")))
#endif

namespace
{
using LogCallback = void (*)(int, const char*);

// Room for a few seconds of postures streamed at a frame rate.
char Calls[1 << 18];
LogCallback Callback = nullptr;
int ConfigureResult = 1;
const char* Version = "Fake seat library 1.0";

// Also tells the log callback, at DEBUG as the real library reports its calls, so that a test can see calls
// in order with what the plugin does between them.
void Record(const char* Format, ...)
{
	const std::size_t Used = std::strlen(Calls);
	va_list Args;
	va_start(Args, Format);
	std::vsnprintf(Calls + Used, sizeof(Calls) - Used, Format, Args);
	va_end(Args);
	if (Callback)
	{
		char Line[256];
		std::snprintf(Line, sizeof(Line), "[Ridova][DEBUG] call %s", Calls + Used);
		Callback(0, Line);
	}
	std::strncat(Calls, ";", sizeof(Calls) - std::strlen(Calls) - 1);
}
}

FAKE_EXPORT bool Ridova_SetConfiguration(int Model, const char* UdpIp, int UdpPort, int Effects, const char* RelayIp,
	int RelayPort, const char* SpeedIp, int SpeedPort)
{
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

FAKE_EXPORT const char* Fake_Calls() { return Calls; }
FAKE_EXPORT void Fake_ClearCalls() { Calls[0] = '\0'; }
FAKE_EXPORT void Fake_SetResult(int Result) { ConfigureResult = Result; }
FAKE_EXPORT void Fake_SetVersion(const char* NewVersion) { Version = NewVersion; }
FAKE_EXPORT void Fake_Log(int Level, const char* Message)
{
	if (Callback)
	{
		Callback(Level, Message);
	}
}
