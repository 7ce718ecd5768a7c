// A game on the engine stand-in that drives a seat through the plugin as a game does, for the guard's tests: it
// registers an Orvida with effects against a virtual seat on loopback, turns the fan (high), the water mist (small
// water) and the heater on, eases the seat to pitch 6.7 deg and yaw 40 deg within every envelope's speeds, and holds
// it there, sending at 100 Hz, until it is killed. Given a number of seconds, it ends cleanly then instead, as a game
// instance ends (the manager parks, turns the effects off, homes the seat and releases the library).
//
//   karvel-game-host PLUGIN_DIR MOTION_PORT RELAY_PORT SPEED_PORT STATE_HOME [END_AFTER_SECONDS]
//
// STATE_HOME stands for the user's per-user folders (XDG_STATE_HOME, LOCALAPPDATA) in its environment, which the
// guard inherits: its state file goes below it. It prints "game host ready" once the posture is reached and
// "game host done" after a clean end.
#include "LibrarySupport.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <thread>

int main(int Argc, char** Argv)
{
	if (Argc < 6)
	{
		std::fprintf(stderr, "usage: karvel-game-host PLUGIN_DIR MOTION_PORT RELAY_PORT SPEED_PORT STATE_HOME [END_AFTER_SECONDS]\n");
		return 2;
	}
	// Each system's name for the folder; the other one is not read there.
	static std::string StateHome = std::string("XDG_STATE_HOME=") + Argv[5];
	static std::string LocalAppData = std::string("LOCALAPPDATA=") + Argv[5];
	putenv(StateHome.data());
	putenv(LocalAppData.data());
	UE::StandIn::MountPlugin(TEXT("Karvel"), FString(UE::StandIn::Utf8ToUtf16(Argv[1])));
	const double EndAfter = Argc > 6 ? std::atof(Argv[6]) : -1;
	FTestGameInstance Game;
	USeatDeviceManager& Manager = Game.Manager();
	if (!Manager.RegisterSeatWithParameters(LoopbackOrvida(std::atoi(Argv[2]), std::atoi(Argv[3]), std::atoi(Argv[4]))))
	{
		std::fprintf(stderr, "game host: the seat was not registered\n");
		return 1;
	}
	Manager.SetWindSpeed(ESeatWindLevel::High);
	Manager.SetWaterMist(ESeatWaterMistLevel::SmallWater);
	Manager.SetHeater(true);

	using Clock = std::chrono::steady_clock;
	constexpr double Period = 0.01;
	constexpr double RampSeconds = 2; // 3.35 deg/s of pitch, 20 deg/s of yaw
	const Clock::time_point Start = Clock::now();
	bool bReady = false;
	for (long Frame = 0;; ++Frame)
	{
		const double Seconds = Frame * Period;
		std::this_thread::sleep_until(Start + std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double>(Seconds)));
		const float Share = static_cast<float>(Seconds < RampSeconds ? Seconds / RampSeconds : 1.0);
		Manager.SendPosture(6.7f * Share, 0.0f, 40.0f * Share, 0.5f);
		if (!bReady && Share >= 1.0f)
		{
			bReady = true;
			std::printf("game host ready\n");
			std::fflush(stdout);
		}
		if (EndAfter >= 0 && Seconds >= EndAfter)
		{
			break;
		}
	}
	Game.Shutdown();
	std::printf("game host done\n");
	return 0;
}
