// The platform's limits: whatever arrives, every posture that leaves the core
// keeps each support axis within its stroke and clear of the ends, and each
// crank within the drive's speed and acceleration, as an independent solution
// of the crank geometry measures them (PlatformCheck.h); profile switches
// brake instead of cutting the velocity.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <fstream>
#include <limits>
#include <random>
#include <sstream>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

#include "CrashRide.h"
#include "EnvelopeCheck.h"
#include "MotionCueing.h"
#include "PlatformCheck.h"
#include "SeatAlgorithm.h"

using namespace KarvelCueing;
using KarvelCueingTest::AxesOf;
using KarvelCueingTest::CrankAngleAt;
using KarvelCueingTest::EnvelopeCheck;
using KarvelCueingTest::PlatformCheck;

namespace {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr double kInf = std::numeric_limits<double>::infinity();

const KarvelSeat::SeatModel* Models[] = {&KarvelSeat::TamselSeat, &KarvelSeat::OrvidaSeat};

std::vector<const CueingProfile*> Presets() {
    std::vector<const CueingProfile*> presets;
    for (const std::string& name : PresetProfileNames()) presets.push_back(FindPresetProfile(name));
    return presets;
}

SeatPose Pose(double Pitch, double Roll, double Yaw, double Height) {
    SeatPose p;
    p.Pitch = Pitch, p.Roll = Roll, p.Yaw = Yaw, p.Height = Height;
    return p;
}

// A value of the kind a broken game or physics engine might send.
double Adversarial(std::mt19937& Random) {
    static const double odd[] = {kNaN, kInf, -kInf, 1e300, -1e300, 0, 9.80665, -50, 5000, 1e-300};
    std::uniform_real_distribution<double> unit(0, 1);
    const double pick = unit(Random);
    if (pick < 0.1) return odd[static_cast<int>(unit(Random) * 10) % 10];
    if (pick < 0.5) return (unit(Random) - 0.5) * 40;
    return (unit(Random) - 0.5) * 400;
}

// A posture at a corner of the profile's ranges (each axis at an end), or a
// wild one.
SeatPose Corner(std::mt19937& Random, const CueingProfile& P) {
    std::uniform_int_distribution<int> side(0, 1);
    std::uniform_real_distribution<double> unit(0, 1);
    if (unit(Random) < 0.2) return Pose(Adversarial(Random), Adversarial(Random), Adversarial(Random), Adversarial(Random));
    return Pose(side(Random) ? P.PitchLimit : -P.PitchLimit, side(Random) ? P.RollLimit : -P.RollLimit,
                side(Random) ? P.YawLimit : -P.YawLimit, side(Random) ? P.HeightMax : P.HeightMin);
}

double AdversarialStep(std::mt19937& Random) {
    static const double odd[] = {0, -1, 5, kNaN, kInf, -kInf, 1e-9, 0.1, 0.25, 1.0 / 30};
    std::uniform_real_distribution<double> unit(0, 1);
    if (unit(Random) < 0.1) return odd[static_cast<int>(unit(Random) * 10) % 10];
    if (unit(Random) < 0.5) return 0.01; // the steady rate of a motion runtime
    return 1.0 / 240 + unit(Random) * (1.0 / 20);
}

} // namespace

TEST(PlatformGeometry, AgreesWithTheLibrarysKinematicsAndTheIndependentSolution) {
    for (const KarvelSeat::SeatModel* model : Models) {
        const CrankCurve crank(*model);
        for (int k = 0; k <= 1000; ++k) {
            const double n = k / 1000.0;
            const double angle = CrankAngleAt(*model, n);
            EXPECT_NEAR(crank.Angle(n), angle, 1e-7) << model->Name << " " << n;
            const double pulses = karvel::SeatAlgorithm::lengthToPulse(2 * n - 1, model->LinkLength,
                                                                          model->CrankRadius, model->PulsesPerHalfTurn);
            EXPECT_NEAR(pulses, angle / KarvelCueingTest::kPi * model->PulsesPerHalfTurn, 0.01) << model->Name << " " << n;
            if (k == 0 || k == 1000) continue;
            const double d = 1e-5;
            const double slope = (CrankAngleAt(*model, n + d) - CrankAngleAt(*model, n - d)) / (2 * d);
            EXPECT_NEAR(crank.Slope(n), slope, 1e-4 * slope) << model->Name << " " << n;
            const double e = std::min({1e-3, n / 100, (1 - n) / 100});
            const double curvature = (CrankAngleAt(*model, n + e) - 2 * angle + CrankAngleAt(*model, n - e)) / (e * e);
            EXPECT_NEAR(crank.Curvature(n), curvature, 1e-3 * std::abs(curvature) + 1e-2) << model->Name << " " << n;
        }
        // What the envelope's bounds rest on: the slope has one minimum, where
        // the curvature turns from negative to positive.
        double lastSlope = kInf;
        for (int k = 1; k < 1000; ++k) {
            const double n = k / 1000.0;
            const double slope = crank.Slope(n);
            if (n < crank.Inflection()) {
                EXPECT_LT(slope, lastSlope) << n;
            } else if (n - 1e-3 > crank.Inflection()) {
                EXPECT_GT(slope, lastSlope) << n;
            }
            EXPECT_EQ(crank.Curvature(n) < 0, n < crank.Inflection()) << n;
            lastSlope = slope;
        }
    }
    // The mixing is the library's.
    for (const SeatPose& p : {Pose(7.5, -7.5, 0, 0.5), Pose(-3, 6, 0, 0.4), Pose(6, 3, 0, 0.6)}) {
        const karvel::AxisPositions library = karvel::SeatAlgorithm::calculateAxes(
            static_cast<float>(p.Pitch), static_cast<float>(p.Roll), static_cast<float>(p.Height));
        const PlatformVector axes = AxisPositions({p.Pitch, p.Roll, p.Height});
        EXPECT_NEAR(axes[0], library.x, 1e-6);
        EXPECT_NEAR(axes[1], library.y, 1e-6);
        EXPECT_NEAR(axes[2], library.z, 1e-6);
        const PlatformVector back = PostureOf(axes);
        EXPECT_NEAR(back[0], p.Pitch, 1e-12);
        EXPECT_NEAR(back[1], p.Roll, 1e-12);
        EXPECT_NEAR(back[2], p.Height, 1e-12);
    }
}

TEST(PlatformLimits, AreWhatTheFastestPresetAsksInMidStroke) {
    for (const KarvelSeat::SeatModel* model : Models) {
        const PlatformLimits limits = PlatformLimitsFor(*model);
        const KarvelCueingTest::DriveLimits expected = KarvelCueingTest::DriveLimitsFor(*model);
        EXPECT_EQ(limits.EndMargin, expected.Margin);
        EXPECT_NEAR(limits.CrankSpeed, expected.Speed, 1e-6 * expected.Speed) << model->Name;
        EXPECT_NEAR(limits.CrankAcceleration, expected.Acceleration, 1e-6 * expected.Acceleration) << model->Name;
    }
}

TEST(Platform, RandomAndAdversarialInputNeverBreakTheDrivesLimits) {
    // Vehicle motion, postures at the corners of the ranges, wild values, odd
    // steps, park and resume, and switches between the presets, on both seats.
    const std::vector<const CueingProfile*> presets = Presets();
    for (const KarvelSeat::SeatModel* model : Models) {
        for (std::size_t first = 0; first < presets.size(); ++first) {
            SCOPED_TRACE(std::string(model->Name) + ", starting with preset " + std::to_string(first));
            std::mt19937 random(20261210 + static_cast<unsigned>(first));
            std::uniform_real_distribution<double> unit(0, 1);
            MotionCueing core(*presets[first]);
            core.SetSeatModel(*model);
            PlatformCheck check(*model, core.Current());
            VehicleMotion motion;
            SeatPose requested;
            bool parking = false;
            for (int i = 0; i < 30000 && check.Ok(); ++i) {
                const double event = unit(random);
                if (event < 0.05) {
                    motion.SpecificForce = {Adversarial(random), Adversarial(random), Adversarial(random)};
                    motion.AngularVelocity = {Adversarial(random), Adversarial(random), Adversarial(random)};
                    requested = Corner(random, core.Profile());
                } else if (event < 0.052) {
                    core.Park();
                } else if (event < 0.054) {
                    core.Resume();
                } else if (event < 0.056) {
                    core.Recentre();
                } else if (event < 0.058) {
                    ASSERT_TRUE(core.SetProfile(*presets[static_cast<std::size_t>(unit(random) * presets.size())]));
                }
                const double dt = AdversarialStep(random);
                const double mode = unit(random);
                const bool park = core.IsParking() || mode >= 0.95;
                if (park != parking) check.Parking(park, core.Home());
                parking = park;
                const SeatPose out = mode < 0.6    ? core.Step(dt, motion)
                                     : mode < 0.95 ? core.StepPosture(dt, requested)
                                                   : core.StepPark(dt);
                check.Observe(dt, out);
                if (mode >= 0.95 && unit(random) < 0.5) core.Resume();
            }
            EXPECT_TRUE(check.Ok()) << check.FirstFailure();
        }
    }
}

namespace {

// Telemetry rows (time, the specific force fx, fy, fz, or the acceleration
// ax, ay, az with the attitude roll, pitch from which gravity is felt, and
// roll_rate, pitch_rate, yaw_rate, by name) from one of the example files,
// held from row to row at 100 Hz.
std::vector<VehicleMotion> ExampleRide(const std::string& Name) {
    std::ifstream file(std::string(KARVEL_MOTION_DIR) + "/" + Name);
    std::vector<std::string> header;
    std::vector<std::vector<double>> rows;
    for (std::string line; std::getline(file, line);) {
        if (line.empty() || line[0] == '#') continue;
        std::vector<std::string> cells;
        std::stringstream cellsOf(line);
        for (std::string cell; std::getline(cellsOf, cell, ',');) cells.push_back(cell);
        if (header.empty()) {
            header = cells;
            continue;
        }
        std::vector<double> row;
        for (const std::string& cell : cells) row.push_back(std::stod(cell));
        rows.push_back(row);
    }
    const auto has = [&](const char* Key) { return std::find(header.begin(), header.end(), Key) != header.end(); };
    auto column = [&](const char* Key) {
        if (!has(Key)) throw std::runtime_error(Name + " has no column " + Key);
        return static_cast<std::size_t>(std::find(header.begin(), header.end(), Key) - header.begin());
    };
    const bool force = has("fx");
    const std::size_t t = column("time"), x = column(force ? "fx" : "ax"), y = column(force ? "fy" : "ay"),
                      z = column(force ? "fz" : "az"), roll = column("roll_rate"), pitch = column("pitch_rate"),
                      yaw = column("yaw_rate");
    std::vector<VehicleMotion> ride;
    if (rows.empty()) throw std::runtime_error(Name + " has no rows");
    std::size_t k = 0;
    for (double time = rows.front()[t]; time <= rows.back()[t]; time += 0.01) {
        while (k + 1 < rows.size() && rows[k + 1][t] <= time) ++k;
        const std::vector<double>& r = rows[k];
        VehicleMotion m;
        m.SpecificForce = {r[x], r[y], r[z]};
        if (!force) {
            const Vec3 gravity = GravityFelt(has("roll") ? r[column("roll")] : 0, has("pitch") ? r[column("pitch")] : 0);
            m.SpecificForce = {r[x] + gravity.X, r[y] + gravity.Y, r[z] + gravity.Z};
        }
        m.AngularVelocity = {r[roll], r[pitch], r[yaw]};
        ride.push_back(m);
    }
    return ride;
}

std::vector<VehicleMotion> CrashRide() {
    std::vector<VehicleMotion> ride;
    for (double t = 0; t < KarvelCueingTest::kCrashRideSeconds; t += 0.01) ride.push_back(KarvelCueingTest::CrashRideAt(t));
    return ride;
}

// Watches the posture the seat really takes (SeatedPose) against the
// profile's limits, and how long any support axis sat at an end of its
// stroke.
struct SeatedRide {
    SeatedRide(const CueingProfile& Profile, const SeatPose& Start)
        : Check(Profile, KarvelCueingTest::SeatedPose(Start), true) {}
    void Observe(double Dt, const SeatPose& Out) {
        const SeatPose seated = KarvelCueingTest::SeatedPose(Out);
        Check.Observe(Dt, seated);
        double axes[3];
        AxesOf(seated, axes);
        if (*std::min_element(axes, axes + 3) <= 1e-9 || *std::max_element(axes, axes + 3) >= 1 - 1e-9) AtAnEnd += Dt;
    }
    EnvelopeCheck Check;
    double AtAnEnd = 0;
};

} // namespace

// A step from rest near the bottom of the stroke to a high, tilted posture:
// each posture axis within the road profile's limits, but together beyond the
// stroke. The library used to clamp an axis and the seat rolled at 52.5 deg/s
// (1.75 times the limit); now the posture is one the seat can take.
TEST(PlatformMeasured, AStepBeyondTheStrokeNeverMovesTheSeatFasterThanTheProfile) {
    MotionCueing core(RoadVehicleProfile());
    core.StandAt(Pose(0.2, 8.8, 0, 0.08));
    SeatedRide seated(core.Profile(), core.Current());
    PlatformCheck check(KarvelSeat::OrvidaSeat, core.Current());
    for (int i = 0; i < 300; ++i) {
        const SeatPose out = core.StepPosture(0.01, Pose(13.0, 13.6, 0, 0.81));
        seated.Observe(0.01, out);
        check.Observe(0.01, out);
    }
    EXPECT_TRUE(seated.Check.Ok()) << seated.Check.FirstFailure();
    EXPECT_LE(seated.Check.PeakVelocity(1), 30 * (1 + 1e-9));
    EXPECT_TRUE(check.Ok()) << check.FirstFailure();
}

// A crash and the example rides through every preset: the seat moves no faster
// than the profile, no support axis ever reaches an end of its stroke (on the
// flight preset they used to sit there for seconds) and no crank turns
// further in one 10 ms frame than the drive's limit allows (they used to jump
// 6.8 % of a half turn leaving an end; the drives' limits come to 3.3 % on a
// Tamsel, 3.5 % on an Orvida).
TEST(PlatformMeasured, CrashesAndRidesKeepTheSeatWithinTheProfileAndClearOfTheEnds) {
    const std::pair<const char*, std::vector<VehicleMotion>> rides[] = {
        {"crash", CrashRide()},
        {"drive-telemetry.csv", ExampleRide("drive-telemetry.csv")},
        {"flight-telemetry.csv", ExampleRide("flight-telemetry.csv")}};
    for (const auto& [name, ride] : rides) {
        ASSERT_GT(ride.size(), 100u) << name;
        for (const CueingProfile* profile : Presets()) {
            for (const KarvelSeat::SeatModel* model : Models) {
                SCOPED_TRACE(std::string(name) + " on a " + model->Name);
                MotionCueing core(*profile);
                core.SetSeatModel(*model);
                // Out of a Tamsel's home at the bottom of the stroke first.
                for (int i = 0; i < 200; ++i) core.Step(0.01, VehicleMotion{});
                SeatedRide seated(*profile, core.Current());
                PlatformCheck check(*model, core.Current());
                for (const VehicleMotion& motion : ride) {
                    const SeatPose out = core.Step(0.01, motion);
                    seated.Observe(0.01, out);
                    check.Observe(0.01, out);
                }
                EXPECT_TRUE(seated.Check.Ok()) << seated.Check.FirstFailure();
                EXPECT_EQ(seated.AtAnEnd, 0);
                EXPECT_TRUE(check.Ok()) << check.FirstFailure();
                EXPECT_GE(check.NearestEnd(), 0.05 - 1e-9);
                EXPECT_LE(check.PeakSpeed() * 0.01 / KarvelCueingTest::kPi, 0.036) << "of a half turn in a frame";
            }
        }
    }
}

namespace {

// After a profile change: each axis's velocity changes by at most the new
// acceleration limit per second and never grows while above the new velocity
// limit; an axis within the new range and able to stop there stays there.
struct SwitchCheck {
    explicit SwitchCheck(const CueingProfile& New) : P(New) {}
    void Observe(double Dt, const SeatPose& Before, const SeatPose& After, const double Velocity[4]) {
        const double before[4] = {Before.Pitch, Before.Roll, Before.Yaw, Before.Height};
        const double after[4] = {After.Pitch, After.Roll, After.Yaw, After.Height};
        const double vmax[4] = {P.PitchVelocity, P.RollVelocity, P.YawVelocity, P.HeightVelocity};
        const double amax[4] = {P.PitchAcceleration, P.RollAcceleration, P.YawAcceleration, P.HeightAcceleration};
        const double lo[4] = {-P.PitchLimit, -P.RollLimit, -P.YawLimit, P.HeightMin};
        const double hi[4] = {P.PitchLimit, P.RollLimit, P.YawLimit, P.HeightMax};
        for (int k = 0; k < 4; ++k) {
            const double v = (after[k] - before[k]) / Dt;
            PeakAcceleration[k] = std::max(PeakAcceleration[k], std::abs(v - Velocity[k]) / Dt);
            if (std::abs(v - Velocity[k]) > amax[k] * Dt * (1 + 1e-9) + 1e-9) Fail(k, "changed speed too fast", v);
            if (std::abs(v) > std::max(vmax[k], std::abs(Velocity[k])) * (1 + 1e-9) + 1e-9) Fail(k, "sped up", v);
            const bool inside = after[k] >= lo[k] - 1e-9 && after[k] <= hi[k] + 1e-9;
            if (Inside[k] && !inside) Fail(k, "left the new range again", after[k]);
            // Within the range and slow enough to stop before its end at the new limit.
            const double room = v > 0 ? hi[k] - after[k] : after[k] - lo[k];
            Inside[k] = Inside[k] || (inside && v * v <= 2 * amax[k] * room + 1e-9);
            Peak[k] = std::max(Peak[k], std::abs(after[k]));
        }
    }
    void Fail(int Axis, const char* What, double Value) {
        if (Failure.empty()) Failure = "axis " + std::to_string(Axis) + " " + What + " (" + std::to_string(Value) + ")";
    }
    CueingProfile P;
    bool Inside[4] = {false, false, false, false};
    double Peak[4] = {0, 0, 0, 0};
    double PeakAcceleration[4] = {0, 0, 0, 0};
    std::string Failure;
};

// Steps towards Target at 100 Hz until pitch passes Pitch, switches profile
// there and follows the switch for 3 s.
SwitchCheck SwitchWhileMoving(MotionCueing& Core, const SeatPose& Target, double Pitch, const CueingProfile& To,
                              PlatformCheck& Platform) {
    SeatPose last = Core.Current();
    double velocity[4] = {0, 0, 0, 0};
    auto step = [&] {
        const SeatPose out = Core.StepPosture(0.01, Target);
        Platform.Observe(0.01, out);
        const double v[4] = {(out.Pitch - last.Pitch) / 0.01, (out.Roll - last.Roll) / 0.01,
                             (out.Yaw - last.Yaw) / 0.01, (out.Height - last.Height) / 0.01};
        return std::make_pair(out, std::vector<double>(v, v + 4));
    };
    for (int i = 0; i < 1000 && last.Pitch < Pitch; ++i) {
        const auto [out, v] = step();
        std::copy(v.begin(), v.end(), velocity);
        last = out;
    }
    EXPECT_TRUE(Core.SetProfile(To));
    SwitchCheck check(To);
    for (int i = 0; i < 300; ++i) {
        const auto [out, v] = step();
        check.Observe(0.01, last, out, velocity);
        std::copy(v.begin(), v.end(), velocity);
        last = out;
    }
    return check;
}

} // namespace

// Flight to gentle while pitching at 40 deg/s and turning at 110 deg/s: the
// pitch speed used to drop to 20 in one 10 ms step (2000 deg/s^2 against
// gentle's 100) and the yaw speed to 40 (7000 against 150). Now both brake at
// gentle's limits; the turntable overruns gentle's range and comes back at
// gentle's pace.
TEST(PlatformMeasured, AProfileChangeInMotionBrakesAtTheNewLimits) {
    MotionCueing core(FlightProfile());
    core.StandAt(Pose(-10, 0, -30, 0.5));
    PlatformCheck platform(KarvelSeat::OrvidaSeat, core.Current());
    const SwitchCheck check = SwitchWhileMoving(core, Pose(10, 0, 30, 0.5), 0, GentleProfile(), platform);
    EXPECT_EQ(check.Failure, "");
    EXPECT_LE(check.PeakAcceleration[0], GentleProfile().PitchAcceleration * (1 + 1e-9) + 1e-7);
    EXPECT_LE(check.PeakAcceleration[2], GentleProfile().YawAcceleration * (1 + 1e-9) + 1e-7);
    EXPECT_LE(check.Peak[0], GentleProfile().PitchLimit + 1e-9) << "braking from 40 deg/s at 100 deg/s^2 takes 8 deg";
    EXPECT_GT(check.Peak[2], GentleProfile().YawLimit + 5) << "the turntable overran the new range";
    EXPECT_NEAR(core.Current().Yaw, GentleProfile().YawLimit, 1e-6) << "and came back to it";
    EXPECT_TRUE(platform.Ok()) << platform.FirstFailure();
}

// Where braking at the new limits would carry a support axis into the end of
// its stroke, the seat brakes as hard as the stroke needs, never harder than
// the old profile allowed, and never beyond the platform's limits.
TEST(PlatformMeasured, AProfileChangeNearTheEndOfTheStrokeBrakesAsHardAsTheStrokeNeeds) {
    MotionCueing core(FlightProfile());
    core.StandAt(Pose(-10, 0, 0, 0.5));
    PlatformCheck platform(KarvelSeat::OrvidaSeat, core.Current());
    const SwitchCheck check = SwitchWhileMoving(core, Pose(15, 0, 0, 0.5), 8, GentleProfile(), platform);
    EXPECT_TRUE(platform.Ok()) << platform.FirstFailure();
    EXPECT_GE(platform.NearestEnd(), 0.05 - 1e-9);
    EXPECT_GT(check.PeakAcceleration[0], GentleProfile().PitchAcceleration) << "8 deg left, 8 deg needed at 100";
    EXPECT_LE(check.PeakAcceleration[0], FlightProfile().PitchAcceleration * (1 + 1e-9) + 1e-7);
    EXPECT_NEAR(core.Current().Pitch, GentleProfile().PitchLimit, 1e-6);
}

// A Tamsel's home is at the bottom of the stroke, where a crank must start so
// gently that the share of a step it may take shrinks with the square of the
// step: at the 1 ms steps of a runtime at 1 kHz the seat used to stay at home
// at all. Every preset, at every step length a runtime or a game may use,
// rises out of home on a sustained braking cue and parks again, within the
// drive's limits as the independent crank geometry measures them.
class LeavingTheEndOfTheStroke : public ::testing::TestWithParam<double> {};

TEST_P(LeavingTheEndOfTheStroke, EveryPresetRisesOutOfATamselsHomeAndParksAgain) {
    const double dt = GetParam();
    for (const std::string& name : PresetProfileNames()) {
        SCOPED_TRACE(name);
        MotionCueing core(*FindPresetProfile(name));
        core.SetSeatModel(KarvelSeat::TamselSeat);
        core.Reset();
        const SeatPose home = core.Current();
        ASSERT_EQ(home.Height, 0.0);
        PlatformCheck check(KarvelSeat::TamselSeat, home);
        VehicleMotion braking;
        braking.SpecificForce = {-5, 0, 9.80665};
        const int steps = static_cast<int>(std::lround(3.0 / dt));
        SeatPose out = home;
        for (int i = 0; i < steps; ++i) check.Observe(dt, out = core.Step(dt, braking));
        EXPECT_GT(out.Height, 0.25) << "still at home after 3 s of braking";
        EXPECT_LT(out.Pitch, -0.5) << "no sustained pitch for the braking";
        core.Park();
        check.Parking(true, home);
        for (int i = 0; i < steps; ++i) check.Observe(dt, out = core.StepPark(dt));
        EXPECT_NEAR(out.Height, 0.0, 1e-6);
        EXPECT_NEAR(out.Pitch, 0.0, 1e-6);
        EXPECT_TRUE(check.Ok()) << check.FirstFailure();
    }
}

INSTANTIATE_TEST_SUITE_P(StepLengths, LeavingTheEndOfTheStroke, ::testing::Values(0.01, 0.004, 0.001),
                         [](const ::testing::TestParamInfo<double>& step) {
                             return std::to_string(static_cast<int>(std::lround(step.param * 1e4))) + "TenthsOfAMs";
                         });
