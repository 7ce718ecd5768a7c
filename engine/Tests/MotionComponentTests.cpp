// The seat motion component on a vehicle in a world, against the fake seat library, in real time: the game ticks at
// 60 Hz while the manager's motion runtime sends the seat's frames at 100 Hz on its own thread. What the seat is
// sent while the vehicle drives, pauses, ends and loses its manager, which vehicle drives it, and when the
// component ticks at all. Frames are judged a frame period apart, as the runtime steps them.
#include "FakeSeatSupport.h"
#include "VehicleSupport.h"

#include <chrono>
#include <cstdio>
#include <fstream>
#include <limits>
#include <sstream>

namespace
{
using Strings = std::vector<std::string>;
using Clock = std::chrono::steady_clock;

struct FPosture
{
	double Pitch, Roll, Yaw, Height;
};

// The postures among the library calls, in order; other calls end up in Others.
std::vector<FPosture> Postures(const Strings& Calls, Strings* Others = nullptr)
{
	std::vector<FPosture> Result;
	for (const std::string& Call : Calls)
	{
		FPosture Posture{};
		if (std::sscanf(Call.c_str(), "Posture(%lf,%lf,%lf,%lf)", &Posture.Pitch, &Posture.Roll, &Posture.Yaw, &Posture.Height) == 4)
		{
			Result.push_back(Posture);
		}
		else if (Others)
		{
			Others->push_back(Call);
		}
	}
	return Result;
}

constexpr double Tick = 1.0 / 60.0;
constexpr double FrameSeconds = 0.01;
const KarvelCueing::CueingProfile& Road = KarvelCueing::RoadVehicleProfile();

// The road profile's envelope (deg/s and 1/s): no posture may change faster between two frames.
void ExpectWithinVelocityLimits(const std::vector<FPosture>& Sequence, const FPosture& Start)
{
	constexpr double Slack = 1.0001;
	FPosture Previous = Start;
	for (size_t Index = 0; Index < Sequence.size(); ++Index)
	{
		const FPosture& Now = Sequence[Index];
		EXPECT_LE(std::abs(Now.Pitch - Previous.Pitch), Road.PitchVelocity * FrameSeconds * Slack + 1e-4) << "frame " << Index;
		EXPECT_LE(std::abs(Now.Roll - Previous.Roll), Road.RollVelocity * FrameSeconds * Slack + 1e-4) << "frame " << Index;
		EXPECT_LE(std::abs(Now.Yaw - Previous.Yaw), Road.YawVelocity * FrameSeconds * Slack + 1e-4) << "frame " << Index;
		EXPECT_LE(std::abs(Now.Height - Previous.Height), Road.HeightVelocity * FrameSeconds * Slack + 1e-6) << "frame " << Index;
		EXPECT_LE(std::abs(Now.Pitch), Road.PitchLimit + 1e-4);
		EXPECT_LE(std::abs(Now.Roll), Road.RollLimit + 1e-4);
		EXPECT_LE(std::abs(Now.Yaw), Road.YawLimit + 1e-4);
		Previous = Now;
	}
}

class SeatMotionComponent : public FFakeSeatLibraryTest
{
protected:
	void Register(ESeatModelType Model) const
	{
		FSeatConnectParams Params;
		Params.SeatType = Model;
		Params.UdpIp = TEXT("127.0.0.1");
		Params.bEnableEffects = false;
		ASSERT_TRUE(Manager().RegisterSeatWithParameters(Params));
		// A loaded machine may hold the test's game thread up for a while: that is no hang here.
		ASSERT_TRUE(Manager().ConfigureMotionRuntime(100.0f, 5.0f));
		TakeCalls();
	}

	// A registered seat and a vehicle that has begun play; Prepare sets the component up before that.
	FTestVehicleWorld& Start(ESeatModelType Model, bool bPhysics, void (*Prepare)(USeatMotionComponent&, const FTempDir&) = nullptr)
	{
		Register(Model);
		World = std::make_unique<FTestVehicleWorld>(Game->Get(), bPhysics);
		if (Prepare)
		{
			Prepare(*World->Motion, Dir);
		}
		World->BeginPlay();
		Last = Model == ESeatModelType::Tamsel ? FPosture{0, 0, 0, 0} : FPosture{0, 0, 0, 0.5};
		return *World;
	}

	// The postures the seat got since the last look, each checked against the one before; other calls in Others.
	std::vector<FPosture> TakePostures(Strings* Others = nullptr)
	{
		const std::vector<FPosture> Sent = Postures(TakeCalls(), Others);
		ExpectWithinVelocityLimits(Sent, Last);
		if (!Sent.empty())
		{
			Last = Sent.back();
		}
		return Sent;
	}

	// Seconds of the script at the game's frame rate; the postures sent meanwhile.
	std::vector<FPosture> Drive(FTestVehicleWorld& Vehicle, FVehicleState& State, double Seconds)
	{
		for (double Time = 0.0; Time < Seconds - 1e-9; Time += Tick)
		{
			Vehicle.Step(State, Tick);
		}
		return TakePostures();
	}

	// Frames of a paused or resting game until the component says the seat is parked (at most Seconds); the
	// postures sent meanwhile.
	std::vector<FPosture> WaitUntilParked(FTestVehicleWorld& Vehicle, double Seconds)
	{
		for (double Time = 0.0; Time < Seconds && !Vehicle.Motion->IsParked(); Time += Tick)
		{
			Vehicle.Wait(Tick);
		}
		EXPECT_TRUE(Vehicle.Motion->IsParked());
		return TakePostures();
	}

	std::unique_ptr<FTestVehicleWorld> World;
	FPosture Last{0, 0, 0, 0.5};
};

class SeatMotionComponentByMotionSource : public SeatMotionComponent, public ::testing::WithParamInterface<bool>
{
};

bool IsHome(const FPosture& Posture, double Height)
{
	return Posture.Pitch == 0.0 && Posture.Roll == 0.0 && Posture.Yaw == 0.0 && Posture.Height == Height;
}
}

// 3 m/s^2 is a brisk car; the cues' signs are the rider's: pressed back, tipped forward, pushed outward.
TEST_P(SeatMotionComponentByMotionSource, AccelerationBrakingAndTurnsGiveTheRidersCues)
{
	FTestVehicleWorld& Vehicle = Start(ESeatModelType::Orvida, GetParam());
	FVehicleState State;
	Drive(Vehicle, State, 0.5);

	State.Acceleration = 300.0;
	std::vector<FPosture> Sent = Drive(Vehicle, State, 2.0);
	ASSERT_GT(Sent.size(), 150u) << "frames at the runtime's own rate";
	EXPECT_GT(Sent.back().Pitch, 0.5) << "speeding up tilts the rider back";

	const double Leaning = Sent.back().Pitch;
	State.Acceleration = -400.0;
	Sent = Drive(Vehicle, State, 2.5);
	ASSERT_FALSE(Sent.empty());
	EXPECT_LT(Sent.back().Pitch, Leaning - 1.0) << "braking tips the rider forward";

	// 10 m/s round a right-hand bend at 30 deg/s: 5.2 m/s^2 toward the centre, on the right.
	State.Acceleration = 0.0;
	State.Speed = 1000.0;
	State.YawRate = 30.0;
	Sent = Drive(Vehicle, State, 2.5);
	ASSERT_FALSE(Sent.empty());
	EXPECT_LT(Sent.back().Roll, -0.5) << "a right turn leans the rider out to the left";
	double MostYaw = 0.0;
	for (const FPosture& Posture : Sent)
	{
		MostYaw = std::max(MostYaw, Posture.Yaw);
	}
	EXPECT_GT(MostYaw, 1.0) << "the turntable follows the turn";
}

// What the rider feels is the vehicle's acceleration less gravity in its own frame: parked on a slope he is leaned
// by gravity; in a coordinated banked turn (v w = g tan(bank)) he is pressed straight down into the seat, so the
// seat does not roll, where a flat turn of the same rate leans him outward.
TEST_P(SeatMotionComponentByMotionSource, GravityIsPartOfWhatTheRiderFeels)
{
	FTestVehicleWorld& Vehicle = Start(ESeatModelType::Orvida, GetParam());
	FVehicleState State;
	State.Pitch = 8.0;
	State.Roll = 6.0;
	std::vector<FPosture> Sent = Drive(Vehicle, State, 6.0);
	ASSERT_FALSE(Sent.empty());
	// Below half the tilt limit the lean is TiltGain * asin(f / g): f = g sin 8 forward, g sin 6 cos 8 to the left.
	const double Left = std::asin(std::sin(6.0 * RadiansPerDegree) * std::cos(8.0 * RadiansPerDegree)) / RadiansPerDegree;
	EXPECT_NEAR(Sent.back().Pitch, Road.TiltGain * 8.0, 0.02) << "nose up: leaned back, as the rider is";
	EXPECT_NEAR(Sent.back().Roll, Road.TiltGain * Left, 0.02) << "right side down: leaned right";

	// 30 m/s in a right turn banked 20 degrees, bank and turn rate coming in together over 2 s.
	const double Speed = 3000.0, Bank = 20.0;
	const auto TurnRate = [&](double Roll) { return 980.0 * std::tan(Roll * RadiansPerDegree) / Speed / RadiansPerDegree; };
	const auto Turn = [&](bool bBanked) {
		FVehicleState Flight;
		Flight.Speed = Speed;
		std::vector<FPosture> Postures;
		for (double Time = 0.0; Time < 10.0; Time += Tick)
		{
			const double Share = std::min(1.0, Time / 2.0);
			Flight.YawRate = TurnRate(Bank * Share);
			Flight.Roll = bBanked ? Bank * Share : 0.0;
			const std::vector<FPosture> Now = Drive(Vehicle, Flight, Tick);
			Postures.insert(Postures.end(), Now.begin(), Now.end());
		}
		return Postures;
	};
	const std::vector<FPosture> Banked = Turn(true);
	ASSERT_FALSE(Banked.empty());
	EXPECT_NEAR(Banked.back().Roll, 0.0, 0.05) << "a coordinated turn leans the rider nowhere";
	EXPECT_GT(Banked.back().Yaw, 1.0) << "the turntable follows the turn";
	const std::vector<FPosture> Flat = Turn(false);
	ASSERT_FALSE(Flat.empty());
	EXPECT_LT(Flat.back().Roll, -0.5) << "a flat turn of the same rate leans him out";
}

INSTANTIATE_TEST_SUITE_P(PhysicsAndPlainMovement, SeatMotionComponentByMotionSource, ::testing::Bool(),
	[](const ::testing::TestParamInfo<bool>& Info) { return Info.param ? "Physics" : "PlainMovement"; });

// The runtime keeps its own rate, whatever the game's: 250 frames a second here while the game ticks at 10.
TEST_F(SeatMotionComponent, TheSeatGetsFramesAtTheRuntimesRate)
{
	FTestVehicleWorld& Vehicle = Start(ESeatModelType::Orvida, false);
	ASSERT_TRUE(Manager().ConfigureMotionRuntime(250.0f, 5.0f));
	FVehicleState State;
	State.Acceleration = 300.0;
	Drive(Vehicle, State, 0.2);
	// A slow game (10 frames a second): the seat's frames follow the runtime's clock, not the game's frames. The
	// bounds leave room for a runtime thread held up on a loaded machine: a quarter of its rate still tells it from
	// the game's.
	constexpr int GameFrames = 10;
	const Clock::time_point Begin = Clock::now();
	for (int Frame = 0; Frame < GameFrames; ++Frame)
	{
		Vehicle.Step(State, 0.1);
	}
	const std::vector<FPosture> Sent = TakePostures();
	const double Seconds = std::chrono::duration<double>(Clock::now() - Begin).count();
	EXPECT_GT(Sent.size(), 6u * GameFrames) << "several frames at the seat for each of the game's";
	EXPECT_LE(static_cast<double>(Sent.size()), 250.0 * Seconds + 5.0) << "never more than the runtime's rate";
}

// A fast turn takes the heading across +-180 degrees several times over.
TEST_F(SeatMotionComponent, AHeadingAcrossTheRearNeverSwingsTheTurntable)
{
	FTestVehicleWorld& Vehicle = Start(ESeatModelType::Orvida, false);
	FVehicleState State;
	State.Heading = 150.0;
	State.Speed = 1000.0;
	State.YawRate = 150.0;
	EXPECT_GT(Drive(Vehicle, State, 4.0).size(), 300u);
}

TEST_F(SeatMotionComponent, PauseParksAtTheModelsHomeAndUnpauseStartsSoftly)
{
	for (const auto& [Model, HomeHeight] : {std::pair{ESeatModelType::Orvida, 0.5}, std::pair{ESeatModelType::Tamsel, 0.0}})
	{
		SCOPED_TRACE(static_cast<int>(Model));
		FTestVehicleWorld& Vehicle = Start(Model, true);
		FVehicleState State;
		State.Acceleration = 400.0;
		State.YawRate = 20.0;
		const std::vector<FPosture> Driven = Drive(Vehicle, State, 2.0);
		ASSERT_FALSE(Driven.empty());
		EXPECT_GT(std::abs(Driven.back().Pitch) + std::abs(Driven.back().Yaw), 1.0);

		Vehicle.SetPaused(true);
		const Clock::time_point Paused = Clock::now();
		const std::vector<FPosture> Ramp = WaitUntilParked(Vehicle, Road.ParkSeconds + 2.0);
		ASSERT_FALSE(Ramp.empty());
		EXPECT_LE(Ramp.size() * FrameSeconds, Road.ParkSeconds + FrameSeconds) << "home within the park time";
		EXPECT_LT(std::chrono::duration<double>(Clock::now() - Paused).count(), Road.ParkSeconds + 1.0);
		EXPECT_TRUE(IsHome(Ramp.back(), HomeHeight)) << "the seat's own home, so the home command does not move it";
		for (int Frame = 0; Frame < 30; ++Frame)
		{
			Vehicle.Wait(Tick);
		}
		EXPECT_TRUE(TakePostures().empty()) << "a parked seat is left alone";

		Vehicle.SetPaused(false);
		EXPECT_FALSE(Drive(Vehicle, State, 1.0).empty()) << "and it starts softly from home";
		Vehicle.Vehicle->Destroy();
	}
}

// A pause menu must not leave the water running; the ride goes on as it was after it.
TEST_F(SeatMotionComponent, PauseTurnsTheEffectsOffAndResumingGivesThemBack)
{
	FTestVehicleWorld& Vehicle = Start(ESeatModelType::Orvida, false);
	FVehicleState State;
	Drive(Vehicle, State, 0.5);
	Manager().SetWindSpeed(ESeatWindLevel(2));
	Manager().SetHeater(true);
	TakePostures();

	Strings Others;
	Vehicle.SetPaused(true);
	for (int Frame = 0; Frame < 30; ++Frame)
	{
		Vehicle.Wait(Tick);
	}
	TakePostures(&Others);
	EXPECT_EQ(Others, Strings{"TurnOffAllEffects"}) << "once, however long the pause";

	Others.clear();
	Vehicle.SetPaused(false);
	Vehicle.Step(State, Tick);
	TakePostures(&Others);
	EXPECT_EQ(Others, (Strings{"Wind(2)", "Heater(1)"}));

	// Effects the game sets during a pause are its own choice: resuming leaves them as they are.
	Others.clear();
	Vehicle.SetPaused(true);
	Vehicle.Wait(Tick);
	Manager().SetWaterMist(ESeatWaterMistLevel(1));
	Vehicle.SetPaused(false);
	Vehicle.Step(State, Tick);
	TakePostures(&Others);
	EXPECT_EQ(Others, (Strings{"TurnOffAllEffects", "Mist(1)"}));

	Others.clear();
	Vehicle.Vehicle->Destroy();
	TakePostures(&Others);
	EXPECT_EQ(Others, Strings{"TurnOffAllEffects"}) << "a vehicle that leaves play leaves nothing running";
}

TEST_F(SeatMotionComponent, ParkNowHoldsUntilResumedAndDisablingGoesQuiet)
{
	FTestVehicleWorld& Vehicle = Start(ESeatModelType::Orvida, false);
	FVehicleState State;
	State.Acceleration = 300.0;
	Drive(Vehicle, State, 2.0);

	for (const bool bPark : {true, false})
	{
		SCOPED_TRACE(bPark ? "ParkNow" : "SetMotionEnabled(false)");
		bPark ? Vehicle.Motion->ParkNow() : Vehicle.Motion->SetMotionEnabled(false);
		std::vector<FPosture> Ramp;
		for (double Time = 0.0; Time < Road.ParkSeconds + 2.0 && !Vehicle.Motion->IsParked(); Time += Tick)
		{
			Vehicle.Step(State, Tick);
		}
		Ramp = TakePostures();
		ASSERT_FALSE(Ramp.empty());
		EXPECT_TRUE(IsHome(Ramp.back(), 0.5));
		EXPECT_TRUE(Drive(Vehicle, State, 0.5).empty()) << "still accelerating, but the seat rests";

		bPark ? Vehicle.Motion->ResumeMotion() : Vehicle.Motion->SetMotionEnabled(true);
		const std::vector<FPosture> Resumed = Drive(Vehicle, State, 1.5);
		ASSERT_FALSE(Resumed.empty());
		EXPECT_GT(Resumed.back().Pitch, 0.5) << "cueing again, softly from home";
	}
}

// UnregisterSeat returns to the game at once: the park runs on the seat's runtime, and the home command follows it.
TEST_F(SeatMotionComponent, UnregisteringReturnsAtOnceAndParksTheStreamBeforeTheHomeCommand)
{
	FTestVehicleWorld& Vehicle = Start(ESeatModelType::Orvida, false);
	FVehicleState State;
	State.Acceleration = -400.0;
	ASSERT_FALSE(Drive(Vehicle, State, 2.0).empty());
	ASSERT_LT(Last.Pitch, -0.5);

	UE::StandIn::ClearSleepRequests();
	const Clock::time_point Before = Clock::now();
	Manager().UnregisterSeat();
	const double Took = std::chrono::duration<double>(Clock::now() - Before).count();
	const std::vector<std::string> AtReturn = Fake->Calls();
	EXPECT_EQ(std::count(AtReturn.begin(), AtReturn.end(), "ResetPosition"), 0) << "the park is still under way (" << Took << " s)";
	ASSERT_TRUE(Fake->WaitForCalls("ResetPosition", 1));
	Strings Others;
	const std::vector<FPosture> Ramp = TakePostures(&Others);
	ASSERT_GE(Ramp.size(), 2u);
	EXPECT_LE(Ramp.size() * FrameSeconds, Road.ParkSeconds + 2 * FrameSeconds);
	EXPECT_TRUE(IsHome(Ramp.back(), 0.5));
	EXPECT_EQ(Others, (Strings{"TurnOffAllEffects", "ResetPosition"}));
	EXPECT_TRUE(UE::StandIn::GetSleepRequests().empty()) << "the game thread never sleeps";

	Drive(Vehicle, State, 0.5);
	EXPECT_TRUE(TakeCalls().empty()) << "nothing is sent for an unregistered seat";
	EXPECT_FALSE(Vehicle.Motion->IsComponentTickEnabled()) << "and the component rests";
}

// The end of play returns at once too, and the end of the game instance after the park adds no posture.
TEST_F(SeatMotionComponent, EndOfPlayParksOnceAndTheGameInstanceEndAddsNoPosture)
{
	FTestVehicleWorld& Vehicle = Start(ESeatModelType::Tamsel, false);
	FVehicleState State;
	State.Acceleration = -300.0;
	// A Tamsel rests at the bottom of its stroke: it rises before it can tilt.
	ASSERT_FALSE(Drive(Vehicle, State, 3.0).empty());
	EXPECT_LT(Last.Pitch, -0.5);

	const Clock::time_point Before = Clock::now();
	Vehicle.Vehicle->Destroy();
	const double Took = std::chrono::duration<double>(Clock::now() - Before).count();
	const std::vector<FPosture> SoFar = Postures(Fake->Calls());
	EXPECT_TRUE(SoFar.empty() || !IsHome(SoFar.back(), 0.0)) << "the park is still under way (" << Took << " s)";
	std::vector<FPosture> Ramp;
	for (double Time = 0.0; Time < Road.ParkSeconds + 2.0 && (Ramp.empty() || !IsHome(Ramp.back(), 0.0)); Time += Tick)
	{
		Vehicle.Wait(Tick);
		const std::vector<FPosture> More = TakePostures();
		Ramp.insert(Ramp.end(), More.begin(), More.end());
	}
	ASSERT_GE(Ramp.size(), 2u);
	EXPECT_TRUE(IsHome(Ramp.back(), 0.0)) << "Tamsel homes at the bottom of the stroke";

	Game->Shutdown();
	Strings Others;
	EXPECT_TRUE(Postures(TakeCalls(), &Others).empty());
	EXPECT_EQ(Others, (Strings{"TurnOffAllEffects", "ResetPosition", "TurnOffAllEffects", "ResetPosition", "Release",
		"SetLogCallback(null)"}));
}

TEST_F(SeatMotionComponent, AGoneManagerStopsTheComponentCleanly)
{
	FTestVehicleWorld& Vehicle = Start(ESeatModelType::Orvida, true);
	FVehicleState State;
	State.Acceleration = 200.0;
	Drive(Vehicle, State, 1.0);

	// The end of the game instance parks the stream before homing the seat.
	Game->Shutdown();
	Strings Others;
	const std::vector<FPosture> Ramp = TakePostures(&Others);
	ASSERT_FALSE(Ramp.empty());
	EXPECT_TRUE(IsHome(Ramp.back(), 0.5));
	ASSERT_FALSE(Others.empty());
	EXPECT_EQ(Others.front(), "TurnOffAllEffects");

	Vehicle.World->SetGameInstance(nullptr);
	Game.reset();
	CollectGarbage();
	Drive(Vehicle, State, 0.5);
	EXPECT_TRUE(Fake->Calls().empty());
	EXPECT_FALSE(Vehicle.Motion->IsComponentTickEnabled());
	Vehicle.Vehicle->Destroy();
}

// The manager holds its motion sources weakly: one the garbage collector reclaimed without removing itself (here
// a component never taken into play, whose own removal therefore never runs) is skipped, never called.
TEST_F(SeatMotionComponent, ASourceCollectedWithoutRemovingItselfIsNeverCalled)
{
	USeatMotionComponent* Orphan = NewObject<USeatMotionComponent>();
	const TWeakObjectPtr<UObject> Weak = Orphan;
	Manager().AddMotionSource(Orphan);
	CollectGarbage();
	ASSERT_FALSE(Weak.IsValid());
	Register(ESeatModelType::Orvida);
	Manager().UnregisterSeat();
	EXPECT_EQ(TakeCalls(), (Strings{"TurnOffAllEffects", "ResetPosition"}));
}

// No component ticks without a seat: it rests until a registration wakes it.
TEST_F(SeatMotionComponent, AComponentTicksOnlyWhileASeatIsRegistered)
{
	FTestVehicleWorld Vehicle(Game->Get(), false);
	Vehicle.BeginPlay();
	EXPECT_FALSE(Vehicle.Motion->IsComponentTickEnabled()) << "no seat registered";
	Register(ESeatModelType::Orvida);
	EXPECT_TRUE(Vehicle.Motion->IsComponentTickEnabled()) << "woken by the registration";
	FVehicleState State;
	State.Acceleration = 300.0;
	for (int Frame = 0; Frame < 30; ++Frame)
	{
		Vehicle.Step(State, Tick);
	}
	EXPECT_FALSE(TakePostures().empty());
	Manager().UnregisterSeat();
	Vehicle.Step(State, Tick);
	EXPECT_FALSE(Vehicle.Motion->IsComponentTickEnabled());

	UGameInstance* Server = NewObject<UGameInstance>();
	UE::StandIn::SetRunAsDedicated(*Server, true);
	Server->Init();
	FTestVehicleWorld OnServer(Server, false);
	OnServer.BeginPlay();
	EXPECT_FALSE(OnServer.Motion->IsComponentTickEnabled()) << "a dedicated server has no seat device manager";
	EXPECT_EQ(TextsStartingWith(Log, "[Karvel] Seat motion on " + ToUtf8(GetNameSafe(OnServer.Vehicle)) + " stays idle: this game instance has no seat device manager").size(), 1u);
	Server->Shutdown();
}

TEST_F(SeatMotionComponent, NonFiniteMotionIsReportedOncePerEpisodeAndNeverSent)
{
	FTestVehicleWorld& Vehicle = Start(ESeatModelType::Orvida, true);
	FVehicleState State;
	State.Acceleration = 200.0;
	Drive(Vehicle, State, 1.0);

	const auto Warnings = [this] { return TextsStartingWith(Log, "[Karvel] Seat motion holds its last posture").size(); };
	State.Speed = std::numeric_limits<double>::quiet_NaN();
	std::vector<FPosture> Sent = Drive(Vehicle, State, 0.5);
	EXPECT_EQ(Warnings(), 1u);
	State.Speed = 500.0;
	State.Acceleration = 0.0;
	std::vector<FPosture> More = Drive(Vehicle, State, 0.5);
	Sent.insert(Sent.end(), More.begin(), More.end());
	EXPECT_EQ(Warnings(), 1u) << "good motion ends the episode quietly";
	State.Speed = std::numeric_limits<double>::infinity();
	More = Drive(Vehicle, State, 0.5);
	Sent.insert(Sent.end(), More.begin(), More.end());
	EXPECT_EQ(Warnings(), 2u) << "a new episode is reported again";
	for (const FPosture& Posture : Sent)
	{
		ASSERT_TRUE(std::isfinite(Posture.Pitch) && std::isfinite(Posture.Roll) && std::isfinite(Posture.Yaw) && std::isfinite(Posture.Height));
	}
}

TEST_F(SeatMotionComponent, PosturesTheGameSendsGoThroughTheEnvelope)
{
	FTestVehicleWorld& Vehicle = Start(ESeatModelType::Orvida, false, [](USeatMotionComponent& Motion, const FTempDir&) {
		Motion.bCueOwnerMotion = false;
	});
	FVehicleState State;
	Vehicle.Motion->SendPosture(40.0f, -12.0f, 25.0f, 0.9f);
	const std::vector<FPosture> Sent = Drive(Vehicle, State, 2.0);
	ASSERT_FALSE(Sent.empty());
	// Pitch held at the limit, 15, would still put the Y support axis at 0.9 + 15/30 + 12/30 = 1.8 of its stroke:
	// the posture is drawn in along the line to mid-stroke until every axis is 5 % of its stroke clear of its
	// ends. Y binds, with 0.45 of the 1.3 it had to go.
	const double Share = 0.45 / 1.3;
	EXPECT_NEAR(Sent.back().Pitch, Road.PitchLimit * Share, 1e-6);
	EXPECT_NEAR(Sent.back().Roll, -12.0 * Share, 1e-4);
	EXPECT_NEAR(Sent.back().Yaw, 25.0, 1e-4);
	EXPECT_NEAR(Sent.back().Height, 0.5 + 0.4 * Share, 1e-6);
}

TEST_F(SeatMotionComponent, ARecordingHoldsEachFramesInputAndOutput)
{
	const std::filesystem::path Path = Dir.Get() / "drive.csv";
	FTestVehicleWorld& Vehicle = Start(ESeatModelType::Orvida, true, [](USeatMotionComponent& Motion, const FTempDir& Folder) {
		Motion.RecordingPath = FString(UE::StandIn::Utf8ToUtf16((Folder.Get() / "drive.csv").string()));
	});
	FVehicleState State;
	State.Acceleration = 250.0;
	const std::vector<FPosture> Sent = Drive(Vehicle, State, 1.0);
	Vehicle.Motion->StopRecording();
	ASSERT_TRUE(Manager().WaitForSeatCommands(10.0f));
	const std::vector<FPosture> After = TakePostures();

	std::ifstream File(Path);
	std::string Line;
	ASSERT_TRUE(std::getline(File, Line));
	EXPECT_EQ(Line, "time,fx,fy,fz,roll_rate,pitch_rate,yaw_rate,ax,ay,az,pitch,roll,yaw,height");
	size_t Row = 0;
	double Time = 0.0;
	while (std::getline(File, Line))
	{
		std::vector<double> Values;
		std::stringstream Fields(Line);
		for (std::string Field; std::getline(Fields, Field, ',');)
		{
			Values.push_back(std::stod(Field));
		}
		ASSERT_EQ(Values.size(), 14u) << Line;
		EXPECT_GT(Values[0], Time) << "one row a frame, in time order";
		Time = Values[0];
		if (Row > 5)
		{
			EXPECT_NEAR(Values[1], 2.5, 1e-3) << "2.5 m/s^2 forward, read from the body's velocity";
			EXPECT_NEAR(Values[7], 2.5, 1e-3) << "the same without gravity";
		}
		const FPosture& Posture = Row < Sent.size() ? Sent[Row] : After.at(Row - Sent.size());
		EXPECT_NEAR(Values[3], 9.8, 1e-3) << "the engine's gravity, felt through the seat";
		EXPECT_NEAR(Values[9], 0.0, 1e-3);
		EXPECT_NEAR(Values[10], Posture.Pitch, 1e-3);
		EXPECT_NEAR(Values[13], Posture.Height, 1e-5);
		++Row;
	}
	// Every frame of the drive is recorded; of those sent while the stop was on its way to the runtime, the ones
	// before it took effect are too, and none after.
	EXPECT_GE(Row, Sent.size()) << "every frame the seat got while recording";
	EXPECT_LE(Row, Sent.size() + After.size()) << "a row for a frame the seat never got";
	EXPECT_GT(Row, 50u);
}

// Multiplayer: every client runs the components of every replicated vehicle, but only the local player's moves
// the seat. The other vehicle says once why it stays idle.
TEST_F(SeatMotionComponent, OnlyTheLocalPlayersVehicleDrivesTheSeat)
{
	Register(ESeatModelType::Orvida);
	FTestVehicleWorld Local(Game->Get(), false, true);
	UE::StandIn::SetNetMode(*Local.World, NM_ListenServer);
	FTestVehicle Remote(Local.World, false, true);
	APlayerController* LocalPlayer = Local.World->SpawnActor<APlayerController>();
	APlayerController* RemotePlayer = Local.World->SpawnActor<APlayerController>();
	UE::StandIn::SetRemoteController(*RemotePlayer, true);
	LocalPlayer->Possess(Cast<APawn>(Local.Vehicle));
	RemotePlayer->Possess(Cast<APawn>(Remote.Vehicle));
	Local.BeginPlay();

	// The local player speeds up: the seat leans back. The other player brakes hard, which would tip it forward.
	FVehicleState Mine;
	Mine.Acceleration = 300.0;
	FVehicleState Theirs;
	Theirs.Speed = 2000.0;
	Theirs.Acceleration = -600.0;
	for (double Time = 0.0; Time < 2.0; Time += Tick)
	{
		Remote.Move(Theirs, Tick);
		Local.Step(Mine, Tick);
	}
	const std::vector<FPosture> Sent = TakePostures();
	ASSERT_GT(Sent.size(), 100u);
	for (const FPosture& Posture : Sent)
	{
		ASSERT_GE(Posture.Pitch, -1e-6) << "nothing of the braking vehicle reaches the seat";
	}
	EXPECT_GT(Sent.back().Pitch, 0.5);

	const std::string Idle = "[Karvel] Seat motion on " + ToUtf8(GetNameSafe(Remote.Vehicle))
		+ " stays idle: it is not the local player's vehicle (DriveSeat is LocalPlayerOnly).";
	EXPECT_EQ(TextsStartingWith(Log, Idle), Strings{Idle}) << "said once, not every frame";
	EXPECT_EQ(TextsStartingWith(Log, "[Karvel] Seat motion on " + ToUtf8(GetNameSafe(Local.Vehicle)) + " drives the seat.").size(), 1u);

	// A vehicle nobody controls (a ride's car) drives only if the game says so; then the seat is already taken.
	FTestVehicle Ride(Local.World, false, true);
	Ride.Motion->DriveSeat = ESeatDrivePolicy::Always;
	Local.Step(Mine, Tick);
	const std::string Taken = "[Karvel] Seat motion on " + ToUtf8(GetNameSafe(Ride.Vehicle)) + " stays idle: the seat is driven from "
		+ ToUtf8(GetNameSafe(Local.Vehicle)) + ".";
	EXPECT_EQ(TextsStartingWith(Log, Taken), Strings{Taken});
	Local.Vehicle->Destroy();
	for (int Frame = 0; Frame < 5; ++Frame)
	{
		Local.Step(Mine, Tick);
	}
	EXPECT_EQ(TextsStartingWith(Log, "[Karvel] Seat motion on " + ToUtf8(GetNameSafe(Ride.Vehicle)) + " drives the seat.").size(), 1u)
		<< "once the local player's vehicle is gone, the ride's car may take the seat";
	Ride.Motion->DriveSeat = ESeatDrivePolicy::Never;
	Local.Step(Mine, Tick);
	EXPECT_EQ(TextsStartingWith(Log, "[Karvel] Seat motion on " + ToUtf8(GetNameSafe(Ride.Vehicle)) + " stays idle: DriveSeat is Never.").size(), 1u);
}
