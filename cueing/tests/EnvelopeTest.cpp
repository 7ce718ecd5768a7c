// The safety envelope: whatever arrives, the postures that leave the core stay
// within the profile's limits, start softly, park in time and hold on bad input.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <limits>
#include <random>

#include "EnvelopeCheck.h"
#include "MotionCueing.h"

using namespace KarvelCueing;
using KarvelCueingTest::EnvelopeCheck;

namespace {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr double kInf = std::numeric_limits<double>::infinity();

const CueingProfile* Presets[] = {&RoadVehicleProfile(), &RaceProfile(), &FlightProfile(), &GentleProfile()};

// A value of the kind a broken game or physics engine might send.
double Adversarial(std::mt19937& Random) {
    static const double odd[] = {kNaN, kInf, -kInf, 1e300, -1e300, 0, 9.80665, -50, 5000, 1e-300};
    std::uniform_real_distribution<double> unit(0, 1);
    const double pick = unit(Random);
    if (pick < 0.1) return odd[static_cast<int>(unit(Random) * 10) % 10];
    if (pick < 0.5) return (unit(Random) - 0.5) * 40;   // ordinary driving
    return (unit(Random) - 0.5) * 400;                   // crashes and spins
}

double AdversarialStep(std::mt19937& Random) {
    static const double odd[] = {0, -1, 5, kNaN, kInf, -kInf, 1e-9, 0.1, 0.25, 1.0 / 30};
    std::uniform_real_distribution<double> unit(0, 1);
    if (unit(Random) < 0.2) return odd[static_cast<int>(unit(Random) * 10) % 10];
    return 1.0 / 240 + unit(Random) * (1.0 / 20);
}

} // namespace

TEST(Envelope, RandomAndAdversarialInputNeverBreakTheLimits) {
    // Steps, NaN, infinities and steps of 0, -1 and 5 s, mixed with postures the
    // game sends itself and park, resume and recentre at random moments.
    for (const CueingProfile* profile : Presets) {
        std::mt19937 random(20261208);
        std::uniform_real_distribution<double> unit(0, 1);
        MotionCueing core(*profile);
        EnvelopeCheck check(*profile, core.Current());
        VehicleMotion motion;
        SeatPose requested;
        for (int i = 0; i < 40000 && check.Ok(); ++i) {
            const double event = unit(random);
            if (event < 0.05) { // the input changes in a step
                motion.SpecificForce = {Adversarial(random), Adversarial(random), Adversarial(random)};
                motion.AngularVelocity = {Adversarial(random), Adversarial(random), Adversarial(random)};
                requested = {Adversarial(random), Adversarial(random), Adversarial(random), Adversarial(random)};
            } else if (event < 0.053) {
                core.Park();
            } else if (event < 0.056) {
                core.Resume();
            } else if (event < 0.058) {
                core.Recentre();
            }
            const double dt = AdversarialStep(random);
            const double mode = unit(random);
            const SeatPose out = mode < 0.7   ? core.Step(dt, motion)
                                 : mode < 0.9 ? core.StepPosture(dt, requested)
                                              : core.StepPark(dt);
            check.Observe(dt, out);
            if (mode >= 0.9) core.Resume();
        }
        EXPECT_TRUE(check.Ok()) << check.FirstFailure();
    }
}

TEST(Envelope, AStreamStartsSoftlyFromHome) {
    // Full braking from the first frame: the seat leaves home at rest, the
    // first outputs differ from home by at most a * t^2.
    MotionCueing core;
    SeatPose home;
    home.Height = 0; // a seat whose home is the bottom of its stroke
    core.SetHome(home);
    ASSERT_EQ(core.Current().Height, 0);
    EnvelopeCheck check(core.Profile(), core.Current());
    VehicleMotion hard;
    hard.SpecificForce = {-15, 8, 20};
    hard.AngularVelocity = {200, -200, 300};
    const double dt = 1.0 / 60;
    const SeatPose first = core.Step(dt, hard);
    check.Observe(dt, first);
    EXPECT_LE(std::abs(first.Pitch), core.Profile().PitchAcceleration * dt * dt + 1e-12);
    EXPECT_LE(std::abs(first.Yaw), core.Profile().YawAcceleration * dt * dt + 1e-12);
    EXPECT_LE(std::abs(first.Height), core.Profile().HeightAcceleration * dt * dt + 1e-12);
    for (int i = 0; i < 300; ++i) check.Observe(dt, core.Step(dt, hard));
    EXPECT_TRUE(check.Ok()) << check.FirstFailure();
}

TEST(Envelope, OddTimeStepsNeverJump) {
    MotionCueing core;
    VehicleMotion brake;
    brake.SpecificForce.X = -6;
    brake.AngularVelocity.Z = 40;
    for (int i = 0; i < 90; ++i) core.Step(1.0 / 60, brake);
    const SeatPose before = core.Current();

    // No time, time backwards, or no number at all: nothing moves.
    for (const double dt : {0.0, -1.0, kNaN, kInf, -kInf}) {
        const SeatPose out = core.Step(dt, brake);
        EXPECT_EQ(out.Pitch, before.Pitch) << dt;
        EXPECT_EQ(out.Yaw, before.Yaw) << dt;
        EXPECT_EQ(out.Height, before.Height) << dt;
    }
    // A hitch of 5 s moves the seat no further than its speed allows in
    // MaxStepSeconds.
    const SeatPose after = core.Step(5.0, brake);
    EXPECT_LE(std::abs(after.Pitch - before.Pitch), core.Profile().PitchVelocity * MaxStepSeconds + 1e-12);
    EXPECT_LE(std::abs(after.Yaw - before.Yaw), core.Profile().YawVelocity * MaxStepSeconds + 1e-12);
}

TEST(Envelope, NonFiniteInputHoldsAndIsReportedOncePerEpisode) {
    MotionCueing core;
    VehicleMotion turn;
    turn.AngularVelocity.Z = 30;
    turn.SpecificForce.Y = 3;
    for (int i = 0; i < 20; ++i) core.Step(1.0 / 60, turn);
    EXPECT_FALSE(core.TakeNonFiniteReport());

    VehicleMotion broken = turn;
    broken.SpecificForce.Y = kNaN;
    EnvelopeCheck check(core.Profile(), core.Current(), false);
    int reports = 0;
    for (int i = 0; i < 600; ++i) {
        check.Observe(1.0 / 60, core.Step(1.0 / 60, broken));
        reports += core.TakeNonFiniteReport();
    }
    EXPECT_EQ(reports, 1);
    EXPECT_TRUE(check.Ok()) << check.FirstFailure();
    // Held: the seat came to rest where the last good input sent it, and
    // stays there.
    const SeatPose held = core.Current();
    check.Observe(1.0 / 60, core.Step(1.0 / 60, broken));
    EXPECT_EQ(core.Current().Pitch, held.Pitch);
    EXPECT_EQ(core.Current().Roll, held.Roll);
    EXPECT_EQ(core.Current().Yaw, held.Yaw);

    // Good input ends the episode; the next bad one is a new episode. A bad
    // time step counts too; a step of zero does not.
    check.Observe(1.0 / 60, core.Step(1.0 / 60, turn));
    EXPECT_FALSE(core.TakeNonFiniteReport());
    core.Step(0, turn);
    EXPECT_FALSE(core.TakeNonFiniteReport());
    core.Step(-1, turn);
    core.Step(kNaN, turn);
    EXPECT_TRUE(core.TakeNonFiniteReport());
    core.Step(1.0 / 60, turn);
    SeatPose badPosture;
    badPosture.Roll = kInf;
    core.StepPosture(1.0 / 60, badPosture);
    core.StepPosture(1.0 / 60, badPosture);
    EXPECT_TRUE(core.TakeNonFiniteReport());
    EXPECT_FALSE(core.TakeNonFiniteReport());
    EXPECT_TRUE(check.Ok()) << check.FirstFailure();
}

namespace {

SeatPose Pose(double Pitch, double Roll, double Yaw, double Height) {
    SeatPose p;
    p.Pitch = Pitch, p.Roll = Roll, p.Yaw = Yaw, p.Height = Height;
    return p;
}

const KarvelSeat::SeatModel* Models[] = {&KarvelSeat::TamselSeat, &KarvelSeat::OrvidaSeat};

// A home at the very bottom of the stroke (a Tamsel's) is reached in a last
// leg that the cranks' limits slow where they turn steeply: it may add this
// much to ParkSeconds.
double LastLegAllowance(const KarvelSeat::SeatModel& Model) {
    return Model.Home.Height == 0 ? 0.5 : 0;
}

// Brings the seat to rest at Start (as far as the platform reaches towards
// it), then, if Towards differs, sends it there and parks at the moment it
// starts to brake: furthest from home at full speed. Returns the time until
// IsParked, stepping at Dt, and checks the envelope all the way.
double ParkTime(const CueingProfile& Profile, const KarvelSeat::SeatModel& Model, const SeatPose& Start,
                const SeatPose& Towards, double Dt) {
    MotionCueing core(Profile);
    core.SetSeatModel(Model);
    const SeatPose home = core.Home();
    // Any posture is reached within ParkSeconds (at most 30 s): give it 40.
    for (int i = 0; i < 400; ++i) core.StepPosture(0.1, Start);
    double lastSpeed = 0;
    bool atRest = true;
    for (int i = 0; i < 40000; ++i) {
        const SeatPose before = core.Current();
        const SeatPose after = core.StepPosture(1.0 / 1000, Towards);
        const double speed = std::abs(after.Pitch - before.Pitch) + std::abs(after.Roll - before.Roll) +
                             std::abs(after.Yaw - before.Yaw) + std::abs(after.Height - before.Height);
        if (speed == 0 || speed < lastSpeed * (1 - 1e-9)) break; // braking has begun
        lastSpeed = speed;
        atRest = false;
    }
    EnvelopeCheck check(Profile, core.Current(), atRest);
    core.Park();
    double t = 0;
    while (!core.IsParked() && t < 60) {
        check.Observe(Dt, core.StepPark(Dt));
        t += Dt;
    }
    EXPECT_TRUE(check.Ok()) << check.FirstFailure();
    EXPECT_NEAR(core.Current().Pitch, home.Pitch, 1e-9);
    EXPECT_NEAR(core.Current().Yaw, home.Yaw, 1e-9);
    EXPECT_NEAR(core.Current().Height, home.Height, 1e-9);
    return t;
}

// The hardest parks a profile can be asked for, axis by axis on each seat:
// the seat as far from home as the ranges and the platform let it go, at rest
// or rushing away from home.
void ExpectParksInTime(const CueingProfile& P) {
    const double hi[4] = {P.PitchLimit, P.RollLimit, P.YawLimit, P.HeightMax};
    const double lo[4] = {-P.PitchLimit, -P.RollLimit, -P.YawLimit, P.HeightMin};
    auto pose = [&](int axis, double value) {
        double a[4] = {0, 0, 0, P.NeutralHeight};
        a[axis] = value;
        return Pose(a[0], a[1], a[2], a[3]);
    };
    for (const KarvelSeat::SeatModel* model : Models) {
        const double allowed = P.ParkSeconds + LastLegAllowance(*model);
        const SeatPose home = KarvelCueing::HomePose(*model);
        for (int axis = 0; axis < 4; ++axis)
            for (const double end : {lo[axis], hi[axis]})
                for (const double dt : {1.0 / 30, 1.0 / 60, 1.0 / 144, 1.0 / 1000}) {
                    const SeatPose far = pose(axis, end);
                    EXPECT_LE(ParkTime(P, *model, far, far, dt), allowed)
                        << model->Name << " axis " << axis << " at rest at " << end << ", dt " << dt;
                    EXPECT_LE(ParkTime(P, *model, home, far, dt), allowed)
                        << model->Name << " axis " << axis << " moving to " << end << ", dt " << dt;
                }
    }
}

} // namespace

TEST(Park, ReachesHomeWithinParkSecondsFromAnyPostureWithinTheLimits) {
    for (const CueingProfile* profile : Presets) ExpectParksInTime(*profile);

    // And from random postures, moving or not, on either seat.
    std::mt19937 random(3);
    std::uniform_real_distribution<double> unit(0, 1);
    for (const CueingProfile* profile : Presets) {
        const CueingProfile& p = *profile;
        auto anywhere = [&] {
            return Pose((2 * unit(random) - 1) * p.PitchLimit, (2 * unit(random) - 1) * p.RollLimit,
                        (2 * unit(random) - 1) * p.YawLimit, p.HeightMin + unit(random) * (p.HeightMax - p.HeightMin));
        };
        for (int i = 0; i < 10; ++i) {
            const KarvelSeat::SeatModel& model = *Models[i % 2];
            const SeatPose start = anywhere();
            EXPECT_LE(ParkTime(p, model, start, i % 3 ? anywhere() : start, 1.0 / 60),
                      p.ParkSeconds + LastLegAllowance(model));
        }
    }
}

TEST(Park, TheTightestValidProfilesStillParkInTime) {
    // Each axis's range widened as far as validation lets it at the road
    // preset's speeds: the validation must not accept what cannot park.
    double CueingProfile::*ranges[] = {&CueingProfile::PitchLimit, &CueingProfile::YawLimit};
    for (double CueingProfile::*range : ranges) {
        CueingProfile tight = RoadVehicleProfile();
        if (range == &CueingProfile::PitchLimit) tight.PitchVelocity = 12; // binds within 0..15 deg
        double lo = 0, hi = 180;
        for (int i = 0; i < 50; ++i) {
            tight.*range = (lo + hi) / 2;
            (ValidateProfile(tight).empty() ? lo : hi) = tight.*range;
        }
        tight.*range = lo;
        ASSERT_EQ(ValidateProfile(tight), "");
        ASSERT_LT(lo, 179);
        ExpectParksInTime(tight);
    }
}

// Postures sent some other way (a recording played back) leave the seat
// somewhere at rest, perhaps where the library clamped them: the park goes
// home from there, within the limits.
TEST(Park, FromWhereTheSeatWasLeftStandingWithinTheLimitsAndInTime) {
    for (const CueingProfile* profile : Presets) {
        const CueingProfile& p = *profile;
        MotionCueing core(p);
        // Beyond the stroke: the library puts the Y axis at its top, X at the
        // top and Z mid-stroke (pitch 15 (1 - 1/2) = 7.5, roll 0, height 3/4).
        core.StandAt(Pose(p.PitchLimit, -p.RollLimit, p.YawLimit, p.HeightMax));
        core.StandAt(Pose(kNaN, 0, 0, 0.5)); // ignored
        const SeatPose stood = core.Current();
        if (p.PitchLimit == 15 && p.RollLimit == 15 && p.HeightMax == 1) {
            EXPECT_NEAR(stood.Pitch, 7.5, 1e-12);
            EXPECT_NEAR(stood.Roll, 0, 1e-12);
            EXPECT_NEAR(stood.Height, 0.75, 1e-12);
        }
        EnvelopeCheck check(p, stood);
        core.Park();
        double t = 0;
        while (!core.IsParked() && t < 60) {
            check.Observe(1.0 / 100, core.StepPark(1.0 / 100));
            t += 1.0 / 100;
        }
        EXPECT_TRUE(check.Ok()) << check.FirstFailure();
        EXPECT_LE(t, p.ParkSeconds + 1e-9);
        EXPECT_NEAR(core.Current().Yaw, 0, 1e-9);
    }
}

TEST(Park, HoldsHomeWhileParkedAndResumesSoftly) {
    MotionCueing core;
    VehicleMotion accelerate;
    accelerate.SpecificForce.X = 4;
    for (int i = 0; i < 300; ++i) core.Step(1.0 / 60, accelerate);
    const double leaning = core.Current().Pitch;
    ASSERT_GT(leaning, 1);
    core.Park();
    EnvelopeCheck check(core.Profile(), core.Current(), false);
    for (int i = 0; i < 120; ++i) check.Observe(1.0 / 60, core.Step(1.0 / 60, accelerate)); // still parking
    EXPECT_TRUE(check.Ok()) << check.FirstFailure();
    EXPECT_TRUE(core.IsParked());
    EXPECT_NEAR(core.Current().Pitch, 0, 1e-9);
    core.Resume();
    EXPECT_FALSE(core.IsParked());
    // The tilt comes back at the tilt rate, from home.
    EnvelopeCheck resumed(core.Profile(), core.Current());
    for (int i = 0; i < 600; ++i) resumed.Observe(1.0 / 60, core.Step(1.0 / 60, accelerate));
    EXPECT_TRUE(resumed.Ok()) << resumed.FirstFailure();
    EXPECT_LE(resumed.PeakVelocity(0), core.Profile().TiltRate + 1e-9);
    EXPECT_NEAR(core.Current().Pitch, leaning, 1e-9);
}
