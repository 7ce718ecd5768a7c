// The platform's limits: whatever arrives, every posture that leaves the core
// keeps each support axis within its stroke and clear of the ends, and each
// crank within the drive's speed and acceleration, as an independent solution
// of the crank geometry measures them (PlatformCheck.h); profile switches
// brake instead of cutting the velocity.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <limits>
#include <random>
#include <vector>

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
                    motion.Acceleration = {Adversarial(random), Adversarial(random), Adversarial(random)};
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
