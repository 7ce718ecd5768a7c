// A vehicle with the seat motion component drives the real seat library, in real time: the game ticks at 60 Hz
// while the manager's motion runtime sends at 100 Hz. The frames that reach a loopback motion controller, decoded as
// the virtual seat decodes them, show the rider's cues and stay within the envelope frame by frame, also through
// a hitch and a hang of the game; the seat ends at its home, with the loopback Modbus devices off, when the game
// pauses, hangs, and when the vehicle or the game instance goes; and the calls that end a ride return to the game
// at once while the park goes on. Configuration binds UDP port 8410.
#include "LibrarySupport.h"
#include "MotionFrame.h"
#include "SeatInverse.h"
#include "VehicleSupport.h"

#include "support/ModbusTestServer.h"
#include "support/UdpReceiver.h"

#include <chrono>
#include <cstdio>

namespace
{
using karvel::test::expectedFrame;
using karvel::test::ModbusTestServer;
using karvel::test::UdpReceiver;
using Bytes = std::vector<std::uint8_t>;
using Clock = std::chrono::steady_clock;

constexpr double Tick = 1.0 / 60.0;
constexpr double FrameSeconds = 0.01;
// Decoding the truncated pulse targets loses a little: well under a hundredth of a degree.
constexpr double AngleSlack = 0.01;
constexpr double HeightSlack = 0.001;
const KarvelCueing::CueingProfile& Road = KarvelCueing::RoadVehicleProfile();

struct FFrame
{
	Bytes Raw;
	karvel::sim::DecodedPosture Posture;
};

const Bytes OrvidaHome = expectedFrame(65177, 65177, 65177, 0);
// The fan speed controller's register, the relay board's heater coil and its water and scent coils.
constexpr int FanSpeedRegister = 3;
constexpr int HeaterCoil = 15;

double SecondsSince(Clock::time_point Start)
{
	return std::chrono::duration<double>(Clock::now() - Start).count();
}

class SeatMotionEndToEnd : public ::testing::Test
{
protected:
	SeatMotionEndToEnd() { Plugins.Mount(TEXT("Karvel"), Dir.Get().string()); }

	// The seat's next frame (waiting at most TimeoutMs), checked against the one before.
	std::optional<FFrame> Next(int TimeoutMs = 10000)
	{
		const std::optional<karvel::test::Datagram> Datagram = Motion.receive(TimeoutMs);
		if (!Datagram)
		{
			return std::nullopt;
		}
		karvel::sim::FrameFault Fault = karvel::sim::FrameFault::None;
		const std::optional<karvel::sim::MotionFrame> Frame = karvel::sim::decodeMotionFrame(Datagram->bytes.data(), Datagram->bytes.size(), Fault);
		EXPECT_TRUE(Frame.has_value()) << karvel::sim::faultName(Fault);
		FFrame Decoded{Datagram->bytes, Frame ? karvel::sim::invertTargets(KarvelSeat::OrvidaSeat, Frame->targets) : karvel::sim::DecodedPosture{}};
		ExpectWithinEnvelope(Decoded.Posture);
		return Decoded;
	}

	// Every frame that has come so far.
	std::vector<FFrame> TakeFrames()
	{
		std::vector<FFrame> Frames;
		while (std::optional<FFrame> Frame = Next(0))
		{
			Frames.push_back(*Frame);
		}
		return Frames;
	}

	// Seconds of the script at the game's frame rate; the frames the seat got meanwhile.
	std::vector<FFrame> Drive(FTestVehicleWorld& Vehicle, FVehicleState& State, double Seconds)
	{
		std::vector<FFrame> Frames;
		for (double Time = 0.0; Time < Seconds - 1e-9 && !HasFatalFailure(); Time += Tick)
		{
			Vehicle.Step(State, Tick);
			std::vector<FFrame> More = TakeFrames();
			Frames.insert(Frames.end(), More.begin(), More.end());
		}
		return Frames;
	}

	// Frames until the seat rests exactly at home (at most Seconds); false if it did not.
	bool FramesUntilHome(double Seconds, const std::function<void()>& EachFrame = {})
	{
		const Clock::time_point Start = Clock::now();
		while (SecondsSince(Start) < Seconds)
		{
			if (EachFrame)
			{
				EachFrame();
			}
			const std::optional<FFrame> Frame = Next(100);
			if (Frame && Frame->Raw == OrvidaHome)
			{
				return true;
			}
		}
		return false;
	}

	// The road profile's limits between this frame and the one before, a frame period apart: velocity, and the
	// change of velocity between two frames.
	void ExpectWithinEnvelope(const karvel::sim::DecodedPosture& Now)
	{
		++Checked;
		EXPECT_LE(std::abs(Now.pitch), Road.PitchLimit + AngleSlack);
		EXPECT_LE(std::abs(Now.roll), Road.RollLimit + AngleSlack);
		EXPECT_LE(std::abs(Now.yaw), Road.YawLimit + AngleSlack);
		const double Change[4] = {Now.pitch - Last.pitch, Now.roll - Last.roll, Now.yaw - Last.yaw, Now.height - Last.height};
		const double Velocity[4] = {Road.PitchVelocity, Road.RollVelocity, Road.YawVelocity, Road.HeightVelocity};
		const double Acceleration[4] = {Road.PitchAcceleration, Road.RollAcceleration, Road.YawAcceleration, Road.HeightAcceleration};
		const double Slack[4] = {AngleSlack, AngleSlack, AngleSlack, HeightSlack};
		for (int Axis = 0; Axis < 4; ++Axis)
		{
			EXPECT_LE(std::abs(Change[Axis]), Velocity[Axis] * FrameSeconds + Slack[Axis]) << "frame " << Checked << ", axis " << Axis;
			EXPECT_LE(std::abs(Change[Axis] - LastChange[Axis]), Acceleration[Axis] * FrameSeconds * FrameSeconds + 2 * Slack[Axis])
				<< "frame " << Checked << ", axis " << Axis;
			LastChange[Axis] = Change[Axis];
		}
		Last = Now;
	}

	// The seat stood still meanwhile (no frame for a while): what follows starts from rest.
	void AtRest()
	{
		for (double& Change : LastChange)
		{
			Change = 0.0;
		}
	}

	static double Mean(const std::vector<FFrame>& Frames, double karvel::sim::DecodedPosture::*Axis, size_t Count)
	{
		double Sum = 0.0;
		Count = std::min(Count, Frames.size());
		for (size_t Index = Frames.size() - Count; Index < Frames.size(); ++Index)
		{
			Sum += Frames[Index].Posture.*Axis;
		}
		return Count ? Sum / static_cast<double>(Count) : 0.0;
	}

	FTempDir Dir;
	const std::string LibraryPath = Dir.Place(KARVEL_REAL_LIBRARY_PATH, BinariesDll);
	FMountedPlugins Plugins;
	UdpReceiver Motion;
	FLogCapture Log;
	karvel::sim::DecodedPosture Last = karvel::sim::invertTargets(KarvelSeat::OrvidaSeat, {65177, 65177, 65177, 0});
	double LastChange[4] = {0, 0, 0, 0};
	int Checked = 0;
};

// A seat with effects on loopback Modbus devices, registered, with a vehicle driving it.
class SeatWithEffects : public SeatMotionEndToEnd
{
protected:
	void SetUp() override
	{
		Manager = &Game.Manager();
		ASSERT_TRUE(Manager->RegisterSeatWithParameters(LoopbackOrvida(Motion.port(), Relay.port(), Speed.port())))
			<< "if UDP port 8410 was taken by another checkout's tests, run again";
		Vehicle = std::make_unique<FTestVehicleWorld>(Game.Get(), false);
		Vehicle->BeginPlay();
	}

	bool FanAndHeater(int Fan, bool bHeater) const
	{
		return Speed.waitUntil([&] { return Speed.holdingRegister(FanSpeedRegister) == Fan; })
			&& Relay.waitUntil([&] { return Relay.coil(HeaterCoil) == bHeater; });
	}

	bool EverythingOff() const
	{
		return Speed.holdingRegister(FanSpeedRegister) == 0 && !Relay.coil(HeaterCoil) && Relay.coils(4, 7) == std::vector<bool>(7, false);
	}

	ModbusTestServer Relay{ModbusTestServer::Framing::Mbap};
	ModbusTestServer Speed{ModbusTestServer::Framing::Rtu};
	FTestGameInstance Game;
	USeatDeviceManager* Manager = nullptr;
	std::unique_ptr<FTestVehicleWorld> Vehicle;
};
}

TEST_F(SeatMotionEndToEnd, ADriveCuesTheRiderAndParksAtPauseAndAtTheEnd)
{
	FTestGameInstance Game;
	USeatDeviceManager& Manager = Game.Manager();
	ASSERT_TRUE(Manager.RegisterSeatWithParameters(LoopbackOrvida(Motion.port())))
		<< "if UDP port 8410 was taken by another checkout's tests, run again";
	ASSERT_TRUE(Manager.ConfigureMotionRuntime(100.0f, 5.0f)) << "a loaded machine may hold the test's game up";

	FTestVehicleWorld Vehicle(Game.Get(), false);
	Vehicle.BeginPlay();
	FVehicleState State;
	State.Heading = 150.0;
	Drive(Vehicle, State, 0.5);

	State.Acceleration = 300.0;
	std::vector<FFrame> Frames = Drive(Vehicle, State, 2.0);
	ASSERT_GT(Frames.size(), 150u) << "the runtime's own rate, not the game's";
	EXPECT_GT(Mean(Frames, &karvel::sim::DecodedPosture::pitch, 30), 0.5) << "pressed back when speeding up";
	const double Leaning = Mean(Frames, &karvel::sim::DecodedPosture::pitch, 30);

	State.Acceleration = -400.0;
	Frames = Drive(Vehicle, State, 2.5);
	EXPECT_LT(Mean(Frames, &karvel::sim::DecodedPosture::pitch, 30), Leaning - 1.0) << "tipped forward when braking";

	// A right-hand bend at 10 m/s and 30 deg/s for 3 s takes the heading from 150 across 180.
	State.Acceleration = 0.0;
	State.Speed = 1000.0;
	State.YawRate = 30.0;
	Frames = Drive(Vehicle, State, 3.0);
	EXPECT_LT(Mean(Frames, &karvel::sim::DecodedPosture::roll, 60), -0.5) << "leaning out of the turn";
	ASSERT_FALSE(HasFailure()) << "the drive broke the envelope";

	Vehicle.SetPaused(true);
	const Clock::time_point Paused = Clock::now();
	EXPECT_TRUE(FramesUntilHome(Road.ParkSeconds + 2.0, [&] { Vehicle.Wait(Tick); })) << "paused: the seat rests exactly at home";
	EXPECT_LT(SecondsSince(Paused), Road.ParkSeconds + 1.0);
	EXPECT_TRUE(Vehicle.Motion->IsParked());

	Vehicle.SetPaused(false);
	State.YawRate = 0.0;
	State.Acceleration = 300.0;
	AtRest();
	Drive(Vehicle, State, 1.5);

	// The vehicle goes: its park ramp is streamed on the runtime at the seat's rate, ending at home.
	Vehicle.Vehicle->Destroy();
	EXPECT_TRUE(FramesUntilHome(Road.ParkSeconds + 2.0));
	// The ramp ends there: up to a marker posture sent now, nothing else comes.
	Manager.SendPosture(7.5f, -7.5f, 90.0f, 0.5f);
	const std::optional<karvel::test::Datagram> Marker = Motion.receive(10000);
	ASSERT_TRUE(Marker.has_value());
	EXPECT_EQ(Marker->bytes, expectedFrame(65177, 120000, 44994, 420000));
}

// The host rules on the real devices: a pause turns the fan and the heater off and its end turns them on again;
// the end of the game instance, with the seat moving and both running, parks the seat softly, turns everything
// off and sends it home before the library is released and unloaded.
TEST_F(SeatWithEffects, APauseHoldsTheEffectsAndTheEndLeavesTheSeatHomeWithEverythingOff)
{
	ASSERT_TRUE(Manager->ConfigureMotionRuntime(100.0f, 5.0f));
	Manager->SetWindSpeed(ESeatWindLevel::Medium);
	Manager->SetHeater(true);
	FVehicleState State;
	State.Acceleration = 300.0;
	Drive(*Vehicle, State, 1.5);
	ASSERT_TRUE(FanAndHeater(70, true));

	Vehicle->SetPaused(true);
	EXPECT_TRUE(FramesUntilHome(Road.ParkSeconds + 2.0, [&] { Vehicle->Wait(Tick); }));
	EXPECT_TRUE(FanAndHeater(0, false)) << "paused: nothing runs";
	Vehicle->SetPaused(false);
	AtRest();
	Drive(*Vehicle, State, 2.0);
	EXPECT_TRUE(FanAndHeater(70, true)) << "the ride goes on as it was";
	ASSERT_GT(std::abs(Last.pitch), 0.5) << "the seat is tilted when the game ends";

	Game.Shutdown();
	EXPECT_FALSE(IsLoaded(LibraryPath));
	// The release sent everything queued before it returned: the frames are all here, ending at home.
	const std::vector<FFrame> Rest = TakeFrames();
	ASSERT_FALSE(Rest.empty());
	EXPECT_EQ(Rest.back().Raw, OrvidaHome);
	EXPECT_TRUE(EverythingOff());
}

// The game stops posting (a hang, a breakpoint): within the watchdog time and the park time the seat is home,
// softly, and every effect is off; when the game goes on, the effects come back and the motion resumes softly.
TEST_F(SeatWithEffects, AHungGameGetsTheSeatParkedAndEveryEffectOff)
{
	Manager->SetWindSpeed(ESeatWindLevel::High);
	Manager->SetWaterMist(ESeatWaterMistLevel::Mist);
	Manager->SetHeater(true);
	FVehicleState State;
	State.Acceleration = -400.0;
	State.Speed = 1000.0;
	State.YawRate = 25.0;
	Drive(*Vehicle, State, 2.0);
	ASSERT_TRUE(FanAndHeater(100, true));
	ASSERT_GT(std::abs(Last.pitch) + std::abs(Last.yaw), 1.0) << "the seat is away from home when the game hangs";

	// The game thread stops: no tick, no heartbeat. Only the seat's devices are watched.
	const Clock::time_point Hung = Clock::now();
	ASSERT_TRUE(FramesUntilHome(0.25 + Road.ParkSeconds + 5.0));
	ASSERT_TRUE(Speed.waitUntil([&] { return EverythingOff(); }) && Relay.waitUntil([&] { return EverythingOff(); }));
	const double Seconds = SecondsSince(Hung);
	EXPECT_LT(Seconds, 0.25 + Road.ParkSeconds + 1.0) << "the watchdog time, the park time, and a loaded machine's slack";
	std::printf("hang: seat home and every effect off %.3f s after the game's last frame\n", Seconds);
	EXPECT_EQ(TextsStartingWith(Log, "[Karvel] Nothing from the game for ").size(), 1u);

	AtRest();
	Drive(*Vehicle, State, 1.5);
	EXPECT_TRUE(FanAndHeater(100, true)) << "the game answers: what ran runs again";
	EXPECT_TRUE(Relay.waitUntil([&] { return Relay.coil(4); })) << "the mist too";
	EXPECT_NE(Last.pitch, 0.0) << "cueing again";
	EXPECT_EQ(TextsStartingWith(Log, "[Karvel] The game answers again after ").size(), 1u);
}

// A hitch shorter than the watchdog time passes unnoticed; a 300 ms one parks softly and resumes softly. Not one
// frame goes beyond the envelope either way. (The ride stays clear of the cranks' end stops, where the library
// clips a posture the posture limits allow.)
TEST_F(SeatWithEffects, HitchesGiveNoFrameBeyondTheEnvelope)
{
	FVehicleState State;
	State.Acceleration = 250.0;
	for (const int HitchFrames : {10, 30})
	{
		SCOPED_TRACE(HitchFrames * 10);
		Drive(*Vehicle, State, 1.5);
		// The game thread is held up while the seat's frames keep coming, one each 10 ms; its next frame is as
		// long as the hitch.
		for (int Frame = 0; Frame < HitchFrames && !HasFatalFailure(); ++Frame)
		{
			ASSERT_TRUE(Next().has_value());
		}
		Vehicle->StepAfterHitch(State, HitchFrames * FrameSeconds);
		Drive(*Vehicle, State, 1.0);
	}
	// The 300 ms hitch trips the watchdog (and the 100 ms one does not, unless a loaded machine held the test's game
	// up on its own).
	EXPECT_GE(TextsStartingWith(Log, "[Karvel] Nothing from the game for ").size(), 1u);
	EXPECT_GT(Checked, 400);
}

// UnregisterSeat, the end of a vehicle's play and a pause return to the game at once: the park goes on after.
TEST_F(SeatWithEffects, EndingARideReturnsToTheGameAtOnceWhileTheParkGoesOn)
{
	ASSERT_TRUE(Manager->ConfigureMotionRuntime(100.0f, 5.0f));
	FVehicleState State;
	State.Acceleration = -400.0;
	const auto TiltTheSeat = [&] {
		AtRest();
		Drive(*Vehicle, State, 2.0);
		ASSERT_GT(std::abs(Last.pitch), 0.5);
		TakeFrames();
	};
	// Frames after the call returned that are not yet home: the park was still under way.
	const auto ParkGoesOnAfter = [&](const char* Call, const std::function<void()>& Run) {
		const Clock::time_point Before = Clock::now();
		Run();
		const double Took = SecondsSince(Before);
		TakeFrames();
		int Later = 0;
		for (std::optional<FFrame> Frame = Next(); Frame && Frame->Raw != OrvidaHome; Frame = Next())
		{
			++Later;
		}
		std::printf("%s returned in %.3f ms; %d frames of the park came after\n", Call, Took * 1000.0, Later);
		EXPECT_GE(Later, 2) << Call << " waited for the park (" << Took << " s)";
	};

	TiltTheSeat();
	Vehicle->SetPaused(true);
	ParkGoesOnAfter("a paused frame", [&] { Vehicle->Wait(Tick); });
	Vehicle->SetPaused(false);

	TiltTheSeat();
	ParkGoesOnAfter("the end of play", [&] { Vehicle->Vehicle->Destroy(); });

	FTestVehicle Another(Vehicle->World, false);
	State = FVehicleState();
	State.Acceleration = 400.0;
	for (double Time = 0.0; Time < 2.0; Time += Tick)
	{
		Another.Move(State, Tick);
		Vehicle->Wait(Tick);
		TakeFrames();
	}
	ParkGoesOnAfter("UnregisterSeat", [&] { Manager->UnregisterSeat(); });
	EXPECT_TRUE(Speed.waitUntil([&] { return EverythingOff(); }));
}
