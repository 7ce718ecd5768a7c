// The seat motion component on a vehicle in a world, against the fake seat library: what the seat is sent
// while the vehicle drives, pauses, ends and loses its manager.
#include "FakeSeatSupport.h"
#include "VehicleSupport.h"

#include <cstdio>
#include <fstream>
#include <limits>
#include <sstream>

namespace
{
using Strings = std::vector<std::string>;

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

// The road profile's envelope (deg/s and 1/s): no posture may change faster between two steps of Seconds.
void ExpectWithinVelocityLimits(const std::vector<FPosture>& Sequence, double Seconds, const FPosture& Start)
{
	constexpr double Slack = 1.0001;
	const KarvelCueing::CueingProfile& Road = KarvelCueing::RoadVehicleProfile();
	FPosture Previous = Start;
	for (size_t Index = 0; Index < Sequence.size(); ++Index)
	{
		const FPosture& Now = Sequence[Index];
		EXPECT_LE(std::abs(Now.Pitch - Previous.Pitch), Road.PitchVelocity * Seconds * Slack + 1e-4) << "step " << Index;
		EXPECT_LE(std::abs(Now.Roll - Previous.Roll), Road.RollVelocity * Seconds * Slack + 1e-4) << "step " << Index;
		EXPECT_LE(std::abs(Now.Yaw - Previous.Yaw), Road.YawVelocity * Seconds * Slack + 1e-4) << "step " << Index;
		EXPECT_LE(std::abs(Now.Height - Previous.Height), Road.HeightVelocity * Seconds * Slack + 1e-6) << "step " << Index;
		EXPECT_LE(std::abs(Now.Pitch), Road.PitchLimit);
		EXPECT_LE(std::abs(Now.Roll), Road.RollLimit);
		EXPECT_LE(std::abs(Now.Yaw), Road.YawLimit);
		Previous = Now;
	}
}

constexpr double Tick = 1.0 / 60.0;

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
		Fake->ClearCalls();
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
		return *World;
	}

	// Seconds of the script with the vehicle's state as it stands; the postures sent meanwhile.
	std::vector<FPosture> Drive(FTestVehicleWorld& Vehicle, FVehicleState& State, double Seconds) const
	{
		std::vector<FPosture> Sent;
		for (double Time = 0.0; Time < Seconds - 1e-9; Time += Tick)
		{
			Vehicle.Step(State, Tick);
			const std::vector<FPosture> Now = Postures(TakeCalls());
			Sent.insert(Sent.end(), Now.begin(), Now.end());
		}
		return Sent;
	}

	std::unique_ptr<FTestVehicleWorld> World;
};

class SeatMotionComponentByMotionSource : public SeatMotionComponent, public ::testing::WithParamInterface<bool>
{
};
}

// 3 m/s^2 is a brisk car; the cues' signs are the rider's: pressed back, tipped forward, pushed outward.
TEST_P(SeatMotionComponentByMotionSource, AccelerationBrakingAndTurnsGiveTheRidersCues)
{
	FTestVehicleWorld& Vehicle = Start(ESeatModelType::Orvida, GetParam());
	FVehicleState State;
	const FPosture Home{0.0, 0.0, 0.0, 0.5};

	std::vector<FPosture> Sent = Drive(Vehicle, State, 1.0);
	ASSERT_FALSE(Sent.empty());
	ExpectWithinVelocityLimits(Sent, Tick, Home);
	FPosture Last = Sent.back();

	State.Acceleration = 300.0;
	Sent = Drive(Vehicle, State, 4.0);
	ExpectWithinVelocityLimits(Sent, Tick, Last);
	EXPECT_GT(Sent.back().Pitch, 1.0) << "speeding up tilts the rider back";
	Last = Sent.back();

	// Cruising lets the tilt settle back before the next manoeuvre.
	const auto Cruise = [&] {
		State.Acceleration = 0.0;
		State.YawRate = 0.0;
		Sent = Drive(Vehicle, State, 5.0);
		ExpectWithinVelocityLimits(Sent, Tick, Last);
		EXPECT_NEAR(Sent.back().Pitch, 0.0, 0.5);
		EXPECT_NEAR(Sent.back().Roll, 0.0, 0.5);
		Last = Sent.back();
	};
	Cruise();

	State.Acceleration = -400.0;
	Sent = Drive(Vehicle, State, 2.5);
	ExpectWithinVelocityLimits(Sent, Tick, Last);
	EXPECT_LT(Sent.back().Pitch, -1.0) << "braking tips the rider forward";
	Last = Sent.back();
	Cruise();

	// 10 m/s round a right-hand bend at 30 deg/s: 5.2 m/s^2 toward the centre, on the right.
	State.Speed = 1000.0;
	State.YawRate = 30.0;
	Sent = Drive(Vehicle, State, 3.0);
	ExpectWithinVelocityLimits(Sent, Tick, Last);
	EXPECT_LT(Sent.back().Roll, -1.0) << "a right turn leans the rider out to the left";
	double MostYaw = 0.0;
	for (const FPosture& Posture : Sent)
	{
		MostYaw = std::max(MostYaw, Posture.Yaw);
	}
	EXPECT_GT(MostYaw, 1.0) << "the turntable follows the turn";
	Last = Sent.back();
	Cruise();

	State.YawRate = -30.0;
	Sent = Drive(Vehicle, State, 3.0);
	ExpectWithinVelocityLimits(Sent, Tick, Last);
	EXPECT_GT(Sent.back().Roll, 1.0) << "a left turn leans the rider out to the right";
}

// What the rider feels is the vehicle's acceleration less gravity in its own frame: parked on a slope he is leaned
// by gravity; in a coordinated banked turn (v w = g tan(bank)) he is pressed straight down into the seat, so the
// seat does not roll, where a flat turn of the same rate leans him outward.
TEST_P(SeatMotionComponentByMotionSource, GravityIsPartOfWhatTheRiderFeels)
{
	FTestVehicleWorld& Vehicle = Start(ESeatModelType::Orvida, GetParam());
	const KarvelCueing::CueingProfile& Road = KarvelCueing::RoadVehicleProfile();
	FVehicleState State;
	State.Pitch = 8.0;
	State.Roll = 6.0;
	std::vector<FPosture> Sent = Drive(Vehicle, State, 6.0);
	ExpectWithinVelocityLimits(Sent, Tick, FPosture{0.0, 0.0, 0.0, 0.5});
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
	EXPECT_NEAR(Banked.back().Roll, 0.0, 0.05) << "a coordinated turn leans the rider nowhere";
	EXPECT_GT(Banked.back().Yaw, 1.0) << "the turntable follows the turn";
	const std::vector<FPosture> Flat = Turn(false);
	EXPECT_LT(Flat.back().Roll, -0.5) << "a flat turn of the same rate leans him out";
}

INSTANTIATE_TEST_SUITE_P(PhysicsAndPlainMovement, SeatMotionComponentByMotionSource, ::testing::Bool(),
	[](const ::testing::TestParamInfo<bool>& Info) { return Info.param ? "Physics" : "PlainMovement"; });

// Twenty-five seconds of a steady turn take the heading across +-180 degrees twice over.
TEST_F(SeatMotionComponent, AHeadingAcrossTheRearNeverSwingsTheTurntable)
{
	FTestVehicleWorld& Vehicle = Start(ESeatModelType::Orvida, false);
	FVehicleState State;
	State.Heading = 150.0;
	State.Speed = 1000.0;
	State.YawRate = 30.0;
	const std::vector<FPosture> Sent = Drive(Vehicle, State, 25.0);
	ASSERT_GT(Sent.size(), 1000u);
	ExpectWithinVelocityLimits(Sent, Tick, FPosture{0.0, 0.0, 0.0, 0.5});
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
		std::vector<FPosture> Sent = Drive(Vehicle, State, 3.0);
		ASSERT_FALSE(Sent.empty());
		const FPosture Moving = Sent.back();
		EXPECT_GT(std::abs(Moving.Pitch) + std::abs(Moving.Yaw), 1.0);

		Vehicle.SetPaused(true);
		const KarvelCueing::CueingProfile& Road = KarvelCueing::RoadVehicleProfile();
		int Ticks = 0;
		for (; Ticks < 600 && !Vehicle.Motion->IsParked(); ++Ticks)
		{
			Vehicle.Wait(Tick);
		}
		EXPECT_LE(Ticks * Tick, Road.ParkSeconds + Tick) << "home within the park time";
		Sent = Postures(TakeCalls());
		ASSERT_EQ(Sent.size(), static_cast<size_t>(Ticks));
		ExpectWithinVelocityLimits(Sent, Tick, Moving);
		EXPECT_EQ(Sent.back().Pitch, 0.0);
		EXPECT_EQ(Sent.back().Roll, 0.0);
		EXPECT_EQ(Sent.back().Yaw, 0.0);
		EXPECT_EQ(Sent.back().Height, HomeHeight) << "the seat's own home, so the home command does not move it";
		Vehicle.Wait(1.0);
		EXPECT_TRUE(TakeCalls().empty()) << "a parked seat is left alone";

		Vehicle.SetPaused(false);
		Sent = Drive(Vehicle, State, 1.0);
		ASSERT_FALSE(Sent.empty());
		ExpectWithinVelocityLimits(Sent, Tick, Sent.empty() ? FPosture{} : FPosture{0.0, 0.0, 0.0, HomeHeight});
		Vehicle.Vehicle->Destroy();
		TakeCalls();
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
	TakeCalls();

	Strings Others;
	Vehicle.SetPaused(true);
	Vehicle.Wait(1.0);
	Postures(TakeCalls(), &Others);
	EXPECT_EQ(Others, Strings{"TurnOffAllEffects"}) << "once, however long the pause";

	Others.clear();
	Vehicle.SetPaused(false);
	Vehicle.Step(State, Tick);
	Postures(TakeCalls(), &Others);
	EXPECT_EQ(Others, (Strings{"Wind(2)", "Heater(1)"}));

	// Effects the game sets during a pause are its own choice: resuming leaves them as they are.
	Others.clear();
	Vehicle.SetPaused(true);
	Vehicle.Wait(Tick);
	Manager().SetWaterMist(ESeatWaterMistLevel(1));
	Vehicle.SetPaused(false);
	Vehicle.Step(State, Tick);
	Postures(TakeCalls(), &Others);
	EXPECT_EQ(Others, (Strings{"TurnOffAllEffects", "Mist(1)"}));

	Others.clear();
	Vehicle.Vehicle->Destroy();
	Postures(TakeCalls(), &Others);
	EXPECT_EQ(Others, Strings{"TurnOffAllEffects"}) << "a vehicle that leaves play leaves nothing running";
}

TEST_F(SeatMotionComponent, ParkNowHoldsUntilResumedAndDisablingGoesQuiet)
{
	FTestVehicleWorld& Vehicle = Start(ESeatModelType::Orvida, false);
	FVehicleState State;
	State.Acceleration = 300.0;
	Drive(Vehicle, State, 3.0);

	for (const bool bPark : {true, false})
	{
		SCOPED_TRACE(bPark ? "ParkNow" : "SetMotionEnabled(false)");
		bPark ? Vehicle.Motion->ParkNow() : Vehicle.Motion->SetMotionEnabled(false);
		const std::vector<FPosture> Ramp = Drive(Vehicle, State, KarvelCueing::RoadVehicleProfile().ParkSeconds + Tick);
		ASSERT_FALSE(Ramp.empty());
		EXPECT_EQ(Ramp.back().Height, 0.5);
		EXPECT_EQ(Ramp.back().Pitch, 0.0);
		EXPECT_TRUE(Vehicle.Motion->IsParked());
		EXPECT_TRUE(Drive(Vehicle, State, 1.0).empty()) << "still accelerating, but the seat rests";

		bPark ? Vehicle.Motion->ResumeMotion() : Vehicle.Motion->SetMotionEnabled(true);
		const std::vector<FPosture> Resumed = Drive(Vehicle, State, 2.0);
		ExpectWithinVelocityLimits(Resumed, Tick, Ramp.back());
		EXPECT_GT(Resumed.back().Pitch, 1.0) << "cueing again";
	}
}

TEST_F(SeatMotionComponent, UnregisteringParksTheStreamBeforeTheHomeCommand)
{
	FTestVehicleWorld& Vehicle = Start(ESeatModelType::Orvida, false);
	FVehicleState State;
	State.Acceleration = 400.0;
	const std::vector<FPosture> Driven = Drive(Vehicle, State, 3.0);
	ASSERT_FALSE(Driven.empty());

	UE::StandIn::ClearSleepRequests();
	Manager().UnregisterSeat();
	Strings Others;
	const std::vector<FPosture> Ramp = Postures(TakeCalls(), &Others);
	ASSERT_GE(Ramp.size(), 2u);
	const double Step = 0.01;
	EXPECT_LE(Ramp.size() * Step, KarvelCueing::RoadVehicleProfile().ParkSeconds + 2 * Step);
	ExpectWithinVelocityLimits(Ramp, Step, Driven.back());
	EXPECT_EQ(Ramp.back().Pitch, 0.0);
	EXPECT_EQ(Ramp.back().Height, 0.5);
	EXPECT_EQ(Others, (Strings{"TurnOffAllEffects", "ResetPosition"}));
	const std::vector<float> Sleeps = UE::StandIn::GetSleepRequests();
	EXPECT_EQ(Sleeps.size() + 1, Ramp.size()) << "paced: one pause between two postures";

	Drive(Vehicle, State, 1.0);
	EXPECT_TRUE(TakeCalls().empty()) << "nothing is sent for an unregistered seat";
}

TEST_F(SeatMotionComponent, EndOfPlayParksOnceAndTheGameInstanceEndAddsNoPosture)
{
	FTestVehicleWorld& Vehicle = Start(ESeatModelType::Tamsel, false);
	FVehicleState State;
	State.Acceleration = -300.0;
	const std::vector<FPosture> Driven = Drive(Vehicle, State, 3.0);
	ASSERT_FALSE(Driven.empty());
	EXPECT_LT(Driven.back().Pitch, -1.0);

	Vehicle.Vehicle->Destroy();
	const std::vector<FPosture> Ramp = Postures(TakeCalls());
	ASSERT_GE(Ramp.size(), 2u);
	ExpectWithinVelocityLimits(Ramp, 0.01, Driven.back());
	EXPECT_EQ(Ramp.back().Height, 0.0) << "Tamsel homes at the bottom of the stroke";

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
	const std::vector<FPosture> Ramp = Postures(TakeCalls(), &Others);
	ASSERT_FALSE(Ramp.empty());
	EXPECT_EQ(Ramp.back().Height, 0.5);
	ASSERT_FALSE(Others.empty());
	EXPECT_EQ(Others.front(), "TurnOffAllEffects");

	Vehicle.World->SetGameInstance(nullptr);
	Game.reset();
	CollectGarbage();
	Drive(Vehicle, State, 1.0);
	EXPECT_TRUE(Fake->Calls().empty());
	Vehicle.Vehicle->Destroy();
}

// The manager holds its motion sources weakly: one the garbage collector reclaimed without removing itself (here
// a component never taken into play, whose own removal therefore never runs) is skipped, never called.
TEST_F(SeatMotionComponent, ASourceCollectedWithoutRemovingItselfIsNeverCalled)
{
	Register(ESeatModelType::Orvida);
	USeatMotionComponent* Orphan = NewObject<USeatMotionComponent>();
	const TWeakObjectPtr<UObject> Weak = Orphan;
	Manager().AddMotionSource(Orphan);
	CollectGarbage();
	ASSERT_FALSE(Weak.IsValid());

	Manager().UnregisterSeat();
	EXPECT_EQ(TakeCalls(), (Strings{"TurnOffAllEffects", "ResetPosition"}));
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
	const std::vector<FPosture> Sent = Drive(Vehicle, State, 3.0);
	ASSERT_FALSE(Sent.empty());
	ExpectWithinVelocityLimits(Sent, Tick, FPosture{0.0, 0.0, 0.0, 0.5});
	// Pitch held at the limit, 15, would still put the Y support axis at 0.9 + 15/30 + 12/30 = 1.8 of its stroke:
	// the posture is drawn in along the line to mid-stroke until every axis is 5 % of its stroke clear of its
	// ends. Y binds, with 0.45 of the 1.3 it had to go.
	const double Share = 0.45 / 1.3;
	EXPECT_NEAR(Sent.back().Pitch, KarvelCueing::RoadVehicleProfile().PitchLimit * Share, 1e-6);
	EXPECT_NEAR(Sent.back().Roll, -12.0 * Share, 1e-4);
	EXPECT_NEAR(Sent.back().Yaw, 25.0, 1e-4);
	EXPECT_NEAR(Sent.back().Height, 0.5 + 0.4 * Share, 1e-6);
}

TEST_F(SeatMotionComponent, ARecordingHoldsEachStepsInputAndOutput)
{
	const std::filesystem::path Path = Dir.Get() / "drive.csv";
	FTestVehicleWorld& Vehicle = Start(ESeatModelType::Orvida, true, [](USeatMotionComponent& Motion, const FTempDir& Folder) {
		Motion.RecordingPath = FString(UE::StandIn::Utf8ToUtf16((Folder.Get() / "drive.csv").string()));
	});
	FVehicleState State;
	State.Acceleration = 250.0;
	const std::vector<FPosture> Sent = Drive(Vehicle, State, 1.0);
	Vehicle.Motion->StopRecording();

	std::ifstream File(Path);
	std::string Line;
	ASSERT_TRUE(std::getline(File, Line));
	EXPECT_EQ(Line, "time,fx,fy,fz,roll_rate,pitch_rate,yaw_rate,ax,ay,az,pitch,roll,yaw,height");
	size_t Row = 0;
	while (std::getline(File, Line) && Row < Sent.size())
	{
		std::vector<double> Values;
		std::stringstream Fields(Line);
		for (std::string Field; std::getline(Fields, Field, ',');)
		{
			Values.push_back(std::stod(Field));
		}
		ASSERT_EQ(Values.size(), 14u) << Line;
		EXPECT_NEAR(Values[0], (Row + 1) * Tick, 1e-6);
		if (Row > 0)
		{
			EXPECT_NEAR(Values[1], 2.5, 1e-3) << "2.5 m/s^2 forward, read from the body's velocity";
			EXPECT_NEAR(Values[7], 2.5, 1e-3) << "the same without gravity";
		}
		EXPECT_NEAR(Values[3], 9.8, 1e-3) << "the engine's gravity, felt through the seat";
		EXPECT_NEAR(Values[9], 0.0, 1e-3);
		EXPECT_NEAR(Values[10], Sent[Row].Pitch, 1e-3);
		EXPECT_NEAR(Values[13], Sent[Row].Height, 1e-5);
		++Row;
	}
	EXPECT_EQ(Row, Sent.size());
}
