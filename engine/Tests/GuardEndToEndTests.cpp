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
#include "SeatHost/PostureEnvelope.h"
#include "support/ModbusTestServer.h"
#include "support/UdpReceiver.h"

#include <chrono>
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
	{
		Dir.Place(KARVEL_REAL_LIBRARY_PATH, BinariesDll);
		Dir.Place(KARVEL_GUARD_PATH, "Binaries/ThirdParty/Win64/karvel-guard.exe");
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
			return Now;
		}
		EXPECT_LE(std::abs(Now.pitch - Last.pitch), Envelope.PitchVelocity * FrameSeconds + AngleSlack) << "frame " << Frames;
		EXPECT_LE(std::abs(Now.roll - Last.roll), Envelope.RollVelocity * FrameSeconds + AngleSlack) << "frame " << Frames;
		EXPECT_LE(std::abs(Now.yaw - Last.yaw), Envelope.YawVelocity * FrameSeconds + AngleSlack) << "frame " << Frames;
		EXPECT_LE(std::abs(Now.height - Last.height), Envelope.HeightVelocity * FrameSeconds + HeightSlack) << "frame " << Frames;
		Last = Now;
		return Now;
	}

	bool EveryEffectOff() const
	{
		return Speed.holdingRegister(FanSpeedRegister) == 0 && Relay.coils(0, ModbusTestServer::kCoils) == std::vector<bool>(ModbusTestServer::kCoils, false);
	}

	FTempDir Dir;
	UdpReceiver Motion;
	ModbusTestServer Relay{ModbusTestServer::Framing::Mbap};
	ModbusTestServer Speed{ModbusTestServer::Framing::Rtu};
	karvel::sim::DecodedPosture Last = karvel::sim::invertTargets(KarvelSeat::OrvidaSeat, {65177, 65177, 65177, 0});
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

} // namespace
