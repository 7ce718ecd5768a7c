// The plugin's guard, the real one beside the real library, against a seat of loopback devices in this test (a
// motion receiver, a relay board and a fan speed controller): a game killed mid-ride, as Task Manager or kill -9 ends
// it, leaves the seat to the guard, which parks it within the envelope and turns every effect off; a game that ends
// cleanly leaves nothing more to send. On Windows this runs under wine with karvel-guard.exe and Karvel.dll as shipped.
//
// How long a park takes is measured from the moment the guard's state file says "parking" (polled, so the measure is
// if anything short by one poll) to the first frame at home with every effect off.
#include "LibrarySupport.h"
#include "MotionFrame.h"
#include "SeatInverse.h"

#include "HAL/PlatformProcess.h"
#include "SeatGuard/WatchedSeat.h"
#include "SeatHost/PostureEnvelope.h"
#include "support/ModbusTestServer.h"
#include "support/UdpReceiver.h"

#include <algorithm>
#include <chrono>
#include <optional>
#include <fstream>
#include <sstream>
#include <thread>

namespace
{
using Clock = std::chrono::steady_clock;
using karvel::test::ModbusTestServer;
using karvel::test::UdpReceiver;

constexpr auto Deadline = std::chrono::seconds(60);
constexpr double FrameSeconds = 0.01; // the game's and the guard's rate, one cueing step a frame
constexpr double AngleSlack = 0.01;   // the truncated pulse targets, decoded
constexpr double HeightSlack = 0.001;
constexpr int FanSpeedRegister = 3;
constexpr int HeaterCoil = 15;

bool AtHome(const karvel::sim::DecodedPosture& P)
{
	return std::abs(P.pitch) < 1e-3 && std::abs(P.roll) < 1e-3 && std::abs(P.yaw) < 1e-3 && std::abs(P.height - 0.5) < 1e-4;
}

class GuardEndToEnd : public ::testing::Test
{
protected:
	GuardEndToEnd()
		: LibraryPath(Dir.Place(KARVEL_REAL_LIBRARY_PATH, BinariesDll))
		, GuardPath(Dir.Place(KARVEL_GUARD_PATH, "Binaries/ThirdParty/Win64/karvel-guard.exe"))
	{
	}

	// The game host against this test's devices; Seconds >= 0 ends it cleanly then.
	FProcHandle StartGame(double Seconds = -1)
	{
		std::ostringstream Words;
		Words << '"' << Dir.Get().generic_string() << "\" " << Motion.port() << ' ' << Relay.port() << ' ' << Speed.port()
			  << " \"" << StateHome().generic_string() << '"';
		if (Seconds >= 0)
		{
			Words << ' ' << Seconds;
		}
		const FString Program(UE::StandIn::Utf8ToUtf16(KARVEL_GAME_HOST_PATH));
		const FString Parms(UE::StandIn::Utf8ToUtf16(Words.str()));
		uint32 Id = 0;
		FProcHandle Game = FPlatformProcess::CreateProc(*Program, *Parms, false, true, true, &Id, 0, nullptr, nullptr);
		EXPECT_TRUE(Game.IsValid());
		return Game;
	}

	std::filesystem::path StateHome() const { return Dir.Get() / "home"; }

	// The guard's phase line in its state file (Windows names the folder Karvel, the POSIX state home karvel).
	std::string Phase() const
	{
		for (const char* Folder : {"Karvel", "karvel"})
		{
			std::ifstream File(StateHome() / Folder / "seat-state.txt");
			for (std::string Line; std::getline(File, Line);)
			{
				if (Line.rfind("phase ", 0) == 0)
				{
					return Line.substr(6);
				}
			}
		}
		return {};
	}

	// The next frame, decoded, checked against the one before within the envelope of the plugin's postures.
	std::optional<karvel::sim::DecodedPosture> Next(int TimeoutMs)
	{
		const std::optional<karvel::test::Datagram> Datagram = Motion.receive(TimeoutMs);
		if (!Datagram)
		{
			return std::nullopt;
		}
		karvel::sim::FrameFault Fault = karvel::sim::FrameFault::None;
		const std::optional<karvel::sim::MotionFrame> Frame =
			karvel::sim::decodeMotionFrame(Datagram->bytes.data(), Datagram->bytes.size(), Fault);
		EXPECT_TRUE(Frame.has_value()) << karvel::sim::faultName(Fault);
		if (!Frame)
		{
			return std::nullopt;
		}
		const karvel::sim::DecodedPosture Now = karvel::sim::invertTargets(KarvelSeat::OrvidaSeat, Frame->targets);
		const KarvelCueing::CueingProfile Envelope = KarvelSeat::PostureEnvelope();
		++Frames;
		if (!bCheckEnvelope)
		{
			Last = Now;
			LastArrival = std::chrono::steady_clock::now();
			return Now;
		}
		// On a loaded machine the library may let a late frame give way to the next one: the seat then moves two
		// frames' way over the time of two. Judged by the time between arrivals, never less than one frame's.
		const std::chrono::steady_clock::time_point Arrived = std::chrono::steady_clock::now();
		const double Seconds = LastArrival
			? std::max(FrameSeconds, std::chrono::duration<double>(Arrived - *LastArrival).count())
			: FrameSeconds;
		LastArrival = Arrived;
		EXPECT_LE(std::abs(Now.pitch - Last.pitch), Envelope.PitchVelocity * Seconds + AngleSlack) << "frame " << Frames;
		EXPECT_LE(std::abs(Now.roll - Last.roll), Envelope.RollVelocity * Seconds + AngleSlack) << "frame " << Frames;
		EXPECT_LE(std::abs(Now.yaw - Last.yaw), Envelope.YawVelocity * Seconds + AngleSlack) << "frame " << Frames;
		EXPECT_LE(std::abs(Now.height - Last.height), Envelope.HeightVelocity * Seconds + HeightSlack) << "frame " << Frames;
		Last = Now;
		return Now;
	}

	bool EveryEffectOff() const
	{
		return Speed.holdingRegister(FanSpeedRegister) == 0 && Relay.coils(0, ModbusTestServer::kCoils) == std::vector<bool>(ModbusTestServer::kCoils, false);
	}

	FTempDir Dir;
	const std::string LibraryPath;
	const std::string GuardPath;
	UdpReceiver Motion;
	ModbusTestServer Relay{ModbusTestServer::Framing::Mbap};
	ModbusTestServer Speed{ModbusTestServer::Framing::Rtu};
	karvel::sim::DecodedPosture Last = karvel::sim::invertTargets(KarvelSeat::OrvidaSeat, {65177, 65177, 65177, 0});
	std::optional<std::chrono::steady_clock::time_point> LastArrival; // of the frame Last was, when it came on the wire
	int Frames = 0;
	bool bCheckEnvelope = true;
};

TEST_F(GuardEndToEnd, AGameKilledMidRideLeavesTheSeatToTheGuardWhichParksItSoftlyAndTurnsEveryEffectOff)
{
	FProcHandle Game = StartGame();
	ASSERT_TRUE(Game.IsValid());
	// The game's ride: pitch 6.7 deg and yaw 40 deg, fan high, water and heater on.
	const Clock::time_point GiveUp = Clock::now() + Deadline;
	bool bRiding = false;
	while (!bRiding && Clock::now() < GiveUp && !HasFailure())
	{
		const std::optional<karvel::sim::DecodedPosture> Now = Next(10000);
		ASSERT_TRUE(Now.has_value()) << "no frame from the game";
		bRiding = Now->yaw > 39.9 && Speed.holdingRegister(FanSpeedRegister) > 0 && Relay.coil(HeaterCoil)
			&& Phase().rfind("watching", 0) == 0;
	}
	ASSERT_TRUE(bRiding) << "the game rides and its guard watches (phase '" << Phase() << "')";

	FPlatformProcess::TerminateProc(Game);
	FPlatformProcess::WaitForProc(Game);
	FPlatformProcess::CloseProc(Game);

	// The guard's frames (after the game's last ones) until the seat is home with every effect off.
	std::optional<Clock::time_point> Parking;
	bool bHome = false;
	while (!(bHome && EveryEffectOff()) && Clock::now() < GiveUp + Deadline && !HasFailure())
	{
		if (!Parking && Phase().rfind("parking", 0) == 0)
		{
			Parking = Clock::now();
		}
		if (const std::optional<karvel::sim::DecodedPosture> Now = Next(50))
		{
			bHome = AtHome(*Now);
		}
	}
	ASSERT_TRUE(bHome && EveryEffectOff()) << "phase '" << Phase() << "'";
	ASSERT_TRUE(Parking.has_value()) << "the guard parked";
	const double Took = std::chrono::duration<double>(Clock::now() - *Parking).count();
	EXPECT_LE(Took, KarvelSeat::PostureEnvelope().ParkSeconds + 1.0);
	EXPECT_FALSE(Relay.coil(HeaterCoil));
	EXPECT_EQ(Speed.holdingRegister(FanSpeedRegister), 0);
	// The guard releases and ends; nothing comes after home.
	const Clock::time_point Released = Clock::now() + Deadline;
	while (Phase().rfind("parked", 0) != 0 && Clock::now() < Released)
	{
		std::this_thread::sleep_for(std::chrono::milliseconds(5));
	}
	EXPECT_EQ(Phase().rfind("parked in ", 0), 0u) << Phase();
	while (const std::optional<karvel::sim::DecodedPosture> Now = Next(200))
	{
		EXPECT_TRUE(AtHome(*Now));
	}
}

TEST_F(GuardEndToEnd, AGameThatEndsCleanlyLeavesTheGuardNothingToSend)
{
	// The manager homes postures a game sent itself at once when the game instance ends (only motion components
	// park): what is checked here is that nothing comes after the game's own frames.
	bCheckEnvelope = false;
	FProcHandle Game = StartGame(2.5);
	ASSERT_TRUE(Game.IsValid());
	FPlatformProcess::WaitForProc(Game);
	FPlatformProcess::CloseProc(Game);
	// Every frame the game sent (its release sends what it queued before it returns), ending at home.
	std::optional<karvel::sim::DecodedPosture> End;
	while (const std::optional<karvel::sim::DecodedPosture> Now = Next(200))
	{
		End = Now;
	}
	ASSERT_TRUE(End.has_value());
	EXPECT_TRUE(AtHome(*End));
	const int Sent = Frames;
	const Clock::time_point GiveUp = Clock::now() + Deadline;
	while (Phase().rfind("released", 0) != 0 && Clock::now() < GiveUp)
	{
		std::this_thread::sleep_for(std::chrono::milliseconds(5));
	}
	ASSERT_EQ(Phase().rfind("released", 0), 0u) << Phase();
	EXPECT_FALSE(Next(500).has_value()) << "the guard sent a frame of its own";
	EXPECT_EQ(Frames, Sent);
	EXPECT_TRUE(EveryEffectOff());
}

// A host that ends while another program holds UDP port 8410: the guard waits, sends nothing meanwhile, and parks
// once the port is free. The test is the host here, starting the guard with the engine's process functions as the
// plugin does.
TEST_F(GuardEndToEnd, WaitsWhileAnotherProgramHoldsThePortAndParksOnceItIsFree)
{
	auto Holder = std::make_unique<karvel::test::PortHolder>(8410);
	ASSERT_TRUE(Holder->bound());
	void* ChildInput = nullptr;
	void* Input = nullptr;
	ASSERT_TRUE(FPlatformProcess::CreatePipe(ChildInput, Input, true));
	const std::string Words = "--library \"" + LibraryPath + "\" --state-dir \"" + (StateHome() / "karvel").generic_string() + "\"";
	const FString Program(UE::StandIn::Utf8ToUtf16(GuardPath));
	const FString Parms(UE::StandIn::Utf8ToUtf16(Words));
	uint32 Id = 0;
	FProcHandle Guard = FPlatformProcess::CreateProc(*Program, *Parms, true, true, true, &Id, 0, nullptr, nullptr, ChildInput);
	FPlatformProcess::ClosePipe(ChildInput, nullptr);
	ASSERT_TRUE(Guard.IsValid());

	// What a host told its guard before it vanished: the seat tilted, every effect on.
	KarvelSeat::WatchedSeat Told;
	Told.HostPid = 1;
	Told.HostName = "test";
	Told.bSeatKnown = true;
	Told.Seat = {1, "127.0.0.1", Motion.port(), true, "127.0.0.1", Relay.port(), "127.0.0.1", Speed.port()};
	Told.bPostureKnown = true;
	Told.LastPosture = {6.7f, 0, 40, 0.5f};
	Told.Effects = {3, 2, 1, true};
	const std::string Lines = KarvelSeat::FormatWatchedSeat(Told);
	int32 Written = 0;
	ASSERT_TRUE(FPlatformProcess::WritePipe(Input, reinterpret_cast<const uint8*>(Lines.data()), static_cast<int32>(Lines.size()), &Written));
	ASSERT_EQ(Written, static_cast<int32>(Lines.size()));
	FPlatformProcess::ClosePipe(nullptr, Input); // the host's end

	const Clock::time_point GiveUp = Clock::now() + Deadline;
	while (Phase().rfind("waiting for UDP port 8410", 0) != 0 && Clock::now() < GiveUp)
	{
		std::this_thread::sleep_for(std::chrono::milliseconds(5));
	}
	ASSERT_EQ(Phase().rfind("waiting for UDP port 8410", 0), 0u) << Phase();
	EXPECT_FALSE(Next(300).has_value()) << "a frame while the port is held";
	EXPECT_EQ(Relay.requestCount() + Speed.requestCount(), 0u) << "a device spoken to while the port is held";
	Holder.reset();

	// From the posture the host last sent, within the envelope, home; then every effect turned off.
	Last = karvel::sim::DecodedPosture();
	LastArrival.reset();
	Last.pitch = 6.7;
	Last.yaw = 40;
	Last.height = 0.5;
	bool bHome = false;
	while (!bHome && Clock::now() < GiveUp + Deadline && !HasFailure())
	{
		if (const std::optional<karvel::sim::DecodedPosture> Now = Next(50))
		{
			bHome = AtHome(*Now);
		}
	}
	ASSERT_TRUE(bHome) << Phase();
	FPlatformProcess::WaitForProc(Guard);
	FPlatformProcess::CloseProc(Guard);
	EXPECT_EQ(Phase().rfind("parked in ", 0), 0u) << Phase();
	EXPECT_GT(Relay.requestCount(), 0u) << "the relay board was told";
	EXPECT_GT(Speed.requestCount(), 0u) << "the fan speed controller was told";
	EXPECT_TRUE(EveryEffectOff());
}

} // namespace
