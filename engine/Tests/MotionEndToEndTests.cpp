// A vehicle with the seat motion component drives the real seat library: the frames that reach a loopback
// motion controller, decoded as the virtual seat decodes them, show the rider's cues, stay within the envelope
// and end at the seat's home when the game pauses and when the vehicle goes. Configuration binds UDP port 8410.
#include "LibrarySupport.h"
#include "MotionFrame.h"
#include "SeatInverse.h"
#include "VehicleSupport.h"

#include "support/ModbusTestServer.h"
#include "support/UdpReceiver.h"

namespace
{
using karvel::test::expectedFrame;
using karvel::test::ModbusTestServer;
using karvel::test::UdpReceiver;
using Bytes = std::vector<std::uint8_t>;

constexpr double Tick = 1.0 / 60.0;
constexpr double ParkStep = 0.01;
// Decoding the truncated pulse targets loses a little: well under a hundredth of a degree.
constexpr double AngleSlack = 0.01;
constexpr double HeightSlack = 0.001;

struct FFrame
{
	Bytes Raw;
	karvel::sim::DecodedPosture Posture;
};

class SeatMotionEndToEnd : public ::testing::Test
{
protected:
	SeatMotionEndToEnd() { Plugins.Mount(TEXT("Karvel"), Dir.Get().string()); }

	FFrame Next()
	{
		const std::optional<karvel::test::Datagram> Datagram = Motion.receive(10000);
		if (!Datagram)
		{
			ADD_FAILURE() << "no frame";
			return {};
		}
		karvel::sim::FrameFault Fault = karvel::sim::FrameFault::None;
		const std::optional<karvel::sim::MotionFrame> Frame = karvel::sim::decodeMotionFrame(Datagram->bytes.data(), Datagram->bytes.size(), Fault);
		EXPECT_TRUE(Frame.has_value()) << karvel::sim::faultName(Fault);
		return {Datagram->bytes, Frame ? karvel::sim::invertTargets(KarvelSeat::OrvidaSeat, Frame->targets) : karvel::sim::DecodedPosture{}};
	}

	// Seconds of the script, one frame per tick; every frame checked against the last one.
	std::vector<FFrame> Drive(FTestVehicleWorld& Vehicle, FVehicleState& State, double Seconds)
	{
		std::vector<FFrame> Frames;
		for (double Time = 0.0; Time < Seconds - 1e-9 && !HasFatalFailure(); Time += Tick)
		{
			Vehicle.Step(State, Tick);
			Frames.push_back(Next());
			ExpectWithinEnvelope(Frames.back().Posture, Tick);
		}
		return Frames;
	}

	// The road profile's limits between this frame and the one before, Seconds apart.
	void ExpectWithinEnvelope(const karvel::sim::DecodedPosture& Now, double Seconds)
	{
		const KarvelCueing::CueingProfile& Road = KarvelCueing::RoadVehicleProfile();
		++Checked;
		EXPECT_LE(std::abs(Now.pitch), Road.PitchLimit + AngleSlack);
		EXPECT_LE(std::abs(Now.roll), Road.RollLimit + AngleSlack);
		EXPECT_LE(std::abs(Now.yaw), Road.YawLimit + AngleSlack);
		EXPECT_LE(std::abs(Now.pitch - Last.pitch), Road.PitchVelocity * Seconds + AngleSlack) << "frame " << Checked;
		EXPECT_LE(std::abs(Now.roll - Last.roll), Road.RollVelocity * Seconds + AngleSlack) << "frame " << Checked;
		EXPECT_LE(std::abs(Now.yaw - Last.yaw), Road.YawVelocity * Seconds + AngleSlack) << "frame " << Checked;
		EXPECT_LE(std::abs(Now.height - Last.height), Road.HeightVelocity * Seconds + HeightSlack) << "frame " << Checked;
		Last = Now;
	}

	static double Mean(const std::vector<FFrame>& Frames, double karvel::sim::DecodedPosture::*Axis, size_t Count)
	{
		double Sum = 0.0;
		for (size_t Index = Frames.size() - Count; Index < Frames.size(); ++Index)
		{
			Sum += Frames[Index].Posture.*Axis;
		}
		return Sum / static_cast<double>(Count);
	}

	FTempDir Dir;
	const std::string LibraryPath = Dir.Place(KARVEL_REAL_LIBRARY_PATH, BinariesDll);
	FMountedPlugins Plugins;
	UdpReceiver Motion;
	FLogCapture Log;
	karvel::sim::DecodedPosture Last = karvel::sim::invertTargets(KarvelSeat::OrvidaSeat, {65177, 65177, 65177, 0});
	int Checked = 0;
};

const Bytes OrvidaHome = expectedFrame(65177, 65177, 65177, 0);
// The fan speed controller's register and the relay board's heater coil.
constexpr int FanSpeedRegister = 3;
constexpr int HeaterCoil = 15;
}

TEST_F(SeatMotionEndToEnd, ADriveCuesTheRiderAndParksAtPauseAndAtTheEnd)
{
	FTestGameInstance Game;
	USeatDeviceManager& Manager = Game.Manager();
	ASSERT_TRUE(Manager.RegisterSeatWithParameters(LoopbackOrvida(Motion.port())))
		<< "if UDP port 8410 was taken by another checkout's tests, run again";

	FTestVehicleWorld Vehicle(Game.Get(), false);
	Vehicle.BeginPlay();
	FVehicleState State;
	State.Heading = 150.0;
	Drive(Vehicle, State, 1.0);

	State.Acceleration = 300.0;
	std::vector<FFrame> Frames = Drive(Vehicle, State, 4.0);
	EXPECT_GT(Mean(Frames, &karvel::sim::DecodedPosture::pitch, 30), 1.0) << "pressed back when speeding up";

	State.Acceleration = 0.0;
	Drive(Vehicle, State, 5.0);
	State.Acceleration = -400.0;
	Frames = Drive(Vehicle, State, 2.5);
	EXPECT_LT(Mean(Frames, &karvel::sim::DecodedPosture::pitch, 30), -1.0) << "tipped forward when braking";

	// A right-hand bend at 10 m/s and 30 deg/s for 12 s takes the heading from 150 across 180 to 510.
	State.Acceleration = 0.0;
	Drive(Vehicle, State, 5.0);
	State.Speed = 1000.0;
	State.YawRate = 30.0;
	Frames = Drive(Vehicle, State, 12.0);
	EXPECT_LT(Mean(Frames, &karvel::sim::DecodedPosture::roll, 60), -1.0) << "leaning out of the turn";
	ASSERT_FALSE(HasFailure()) << "the drive broke the envelope";

	Vehicle.SetPaused(true);
	Bytes LastRaw;
	for (int Ticks = 0; !Vehicle.Motion->IsParked() && !HasFatalFailure(); ++Ticks)
	{
		ASSERT_LT(Ticks * Tick, KarvelCueing::RoadVehicleProfile().ParkSeconds + Tick) << "home within the park time";
		Vehicle.Wait(Tick);
		FFrame Frame = Next();
		ExpectWithinEnvelope(Frame.Posture, Tick);
		LastRaw = Frame.Raw;
	}
	EXPECT_EQ(LastRaw, OrvidaHome) << "paused: the seat rests exactly at home";

	Vehicle.SetPaused(false);
	State.YawRate = 0.0;
	State.Acceleration = 300.0;
	Drive(Vehicle, State, 2.0);

	// The vehicle goes: its park ramp is streamed at once, paced at 100 Hz. The transport may let a newer
	// posture replace one it has not sent yet, so the ramp is checked for its end, not frame by frame (the
	// tests against the fake library see every step of it).
	Vehicle.Vehicle->Destroy();
	size_t RampFrames = 0;
	for (FFrame Frame = Next(); Frame.Raw != OrvidaHome && !HasFatalFailure(); Frame = Next())
	{
		ASSERT_LE(++RampFrames * ParkStep, KarvelCueing::RoadVehicleProfile().ParkSeconds + 2 * ParkStep);
		EXPECT_LE(std::abs(Frame.Posture.pitch), KarvelCueing::RoadVehicleProfile().PitchLimit + AngleSlack);
	}
	EXPECT_GE(RampFrames, 1u) << "the seat was away from home";
	// The ramp ends there: up to a marker posture sent now, only home frames come (a step of the final
	// approach may already round to the home frame).
	Manager.SendPosture(7.5f, -7.5f, 90.0f, 0.5f);
	const Bytes Marker = expectedFrame(65177, 120000, 44994, 420000);
	for (FFrame Frame = Next(); Frame.Raw != Marker && !HasFatalFailure(); Frame = Next())
	{
		ASSERT_EQ(Frame.Raw, OrvidaHome);
	}
}

// The host rules on the real devices: a pause turns the fan and the heater off and its end turns them on again;
// the end of the game instance, with the seat moving and both running, parks the seat softly, turns everything
// off and sends it home before the library is released and unloaded.
TEST_F(SeatMotionEndToEnd, APauseHoldsTheEffectsAndTheEndLeavesTheSeatHomeWithEverythingOff)
{
	ModbusTestServer Relay{ModbusTestServer::Framing::Mbap};
	ModbusTestServer Speed{ModbusTestServer::Framing::Rtu};
	const auto FanAndHeater = [&](int Fan, bool bHeater) {
		return Speed.waitUntil([&] { return Speed.holdingRegister(FanSpeedRegister) == Fan; })
			&& Relay.waitUntil([&] { return Relay.coil(HeaterCoil) == bHeater; });
	};
	{
		FTestGameInstance Game;
		USeatDeviceManager& Manager = Game.Manager();
		ASSERT_TRUE(Manager.RegisterSeatWithParameters(LoopbackOrvida(Motion.port(), Relay.port(), Speed.port())))
			<< "if UDP port 8410 was taken by another checkout's tests, run again";

		FTestVehicleWorld Vehicle(Game.Get(), false);
		Vehicle.BeginPlay();
		Manager.SetWindSpeed(ESeatWindLevel::Medium);
		Manager.SetHeater(true);
		FVehicleState State;
		State.Acceleration = 300.0;
		Drive(Vehicle, State, 1.0);
		ASSERT_TRUE(FanAndHeater(70, true));

		Vehicle.SetPaused(true);
		for (int Ticks = 0; !Vehicle.Motion->IsParked() && !HasFatalFailure(); ++Ticks)
		{
			ASSERT_LT(Ticks * Tick, KarvelCueing::RoadVehicleProfile().ParkSeconds + Tick);
			Vehicle.Wait(Tick);
			ExpectWithinEnvelope(Next().Posture, Tick);
		}
		EXPECT_TRUE(FanAndHeater(0, false)) << "paused: nothing runs";
		Vehicle.SetPaused(false);
		Drive(Vehicle, State, 2.0);
		EXPECT_TRUE(FanAndHeater(70, true)) << "the ride goes on as it was";
		ASSERT_GT(std::abs(Last.pitch), 1.0) << "the seat is tilted when the game ends";

		Game.Shutdown();
		EXPECT_FALSE(IsLoaded(LibraryPath));
	}
	// The release sent everything queued before it returned: the frames are all here, ending at home.
	Bytes LastRaw;
	while (const std::optional<karvel::test::Datagram> Datagram = Motion.receive(200))
	{
		LastRaw = Datagram->bytes;
	}
	EXPECT_EQ(LastRaw, OrvidaHome);
	EXPECT_EQ(Speed.holdingRegister(FanSpeedRegister), 0);
	EXPECT_FALSE(Relay.coil(HeaterCoil));
	EXPECT_EQ(Relay.coils(4, 7), std::vector<bool>(7, false));
}
