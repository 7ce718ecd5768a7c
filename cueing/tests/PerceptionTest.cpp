// The perception model and the measures against what is worked out by hand:
// the vestibular models' step responses from their Laplace transforms, the
// seat's specific force and rotation from the geometry of a tilted, turning,
// rising seat, and the measures on signals whose answer is known.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <vector>

#include "CueEvaluation.h"
#include "SeatMotion.h"
#include "VestibularModel.h"

using namespace KarvelCueEvaluation;
using KarvelCueing::SeatPose;

namespace {

constexpr double kPi = 3.141592653589793;
constexpr double kG = 9.80665;
constexpr double kDt = 0.01;

double Radians(double Degrees) { return Degrees * kPi / 180; }

} // namespace

TEST(VestibularModel, OtolithStepFollowsItsTransferFunction) {
    // K (tA s + 1) / ((tL s + 1)(tS s + 1)) / s, by partial fractions:
    // K [1 - (tL - tA)/(tL - tS) e^(-t/tL) - (tS - tA)/(tS - tL) e^(-t/tS)].
    const double K = 0.4, tA = 13.2, tL = 5.33, tS = 0.66;
    auto expected = [&](double t) {
        return K * (1 - (tL - tA) / (tL - tS) * std::exp(-t / tL) - (tS - tA) / (tS - tL) * std::exp(-t / tS));
    };
    OtolithModel otolith(kDt);
    double worst = 0, peak = 0;
    for (int i = 1; i * kDt <= 60; ++i) {
        const double y = otolith.Step(2.0) / 2.0;
        peak = std::max(peak, y);
        // The step is seen as a ramp over the first step: compare at its middle.
        if (i > 2) worst = std::max(worst, std::abs(y - expected(i * kDt - kDt / 2)));
    }
    EXPECT_LT(worst, 2e-4);
    // It overshoots to about 0.85 near 2.5 s and settles at K.
    EXPECT_GT(peak, 0.8);
    EXPECT_NEAR(otolith.Step(2.0) / 2.0, K, 0.01);
}

TEST(VestibularModel, CanalStepIsFeltAtOnceAndFadesWithTheCupula) {
    // (tA s)(tL s)(tN s + 1) / ((tA s + 1)(tL s + 1)) / s, for t > 0:
    // (b (1 - tN b) e^(-bt) - a (1 - tN a) e^(-at)) / (b - a), a = 1/tA,
    // b = 1/tL; the short lag tS = 5 ms only shapes the first steps.
    const double a = 1 / 80.0, b = 1 / 5.73, tN = 0.06;
    CanalModel canal(kDt);
    double worst = 0, lowest = 1;
    for (int i = 1; i * kDt <= 40; ++i) {
        const double y = canal.Step(10.0) / 10.0;
        const double t = i * kDt - kDt / 2;
        lowest = std::min(lowest, y);
        const double expected = (b * (1 - tN * b) * std::exp(-b * t) - a * (1 - tN * a) * std::exp(-a * t)) / (b - a);
        if (t > 0.2) worst = std::max(worst, std::abs(y - expected));
    }
    EXPECT_LT(worst, 2e-3);
    EXPECT_LT(lowest, 0) << "a rotation held is felt reversing after some seconds";
}

TEST(VestibularModel, ARestingLevelPersonFeelsNothing) {
    Vestibular person(kDt);
    person.Settle({0, 0, kG}, {0, 0, 0});
    for (int i = 0; i < 100; ++i)
        for (const double c : person.Step({0, 0, kG}, {0, 0, 0})) EXPECT_EQ(c, 0);
}

TEST(SeatMotion, GravityTurnsWithTheSeatsTilt) {
    SeatMotion seat(kDt, 0.1);
    // Front raised 10 degrees: the rider leans back, pressed into the seat as
    // when speeding up; the force keeps its size g.
    seat.Rest(SeatPose{10, 0, 0, 0.5});
    EXPECT_NEAR(seat.SpecificForce()[0] / seat.SpecificForce()[2], std::tan(Radians(10)), 1e-12);
    EXPECT_GT(seat.SpecificForce()[0], 0);
    // Left side raised 10 degrees (roll +): the rider slides right, so the
    // seat pushes him left, as in a left turn.
    seat.Rest(SeatPose{0, 10, 0, 0.5});
    EXPECT_NEAR(seat.SpecificForce()[1], -kG * std::sin(Radians(10)), 1e-12);
    for (const SeatPose pose : {SeatPose{7, -12, 40, 0.3}, SeatPose{-15, 15, -90, 1}}) {
        seat.Rest(pose);
        const auto& f = seat.SpecificForce();
        EXPECT_NEAR(std::sqrt(f[0] * f[0] + f[1] * f[1] + f[2] * f[2]), kG, 1e-12);
    }
}

TEST(SeatMotion, HeaveAndTurnsAreFeltAsTheSeatMoves) {
    // Height 0.5 + 0.2 sin(2 pi t) over a 0.1 m stroke: the seat rises and
    // falls 20 mm; its acceleration -0.02 (2 pi)^2 sin(2 pi t) adds to gravity.
    SeatMotion seat(kDt, 0.1);
    seat.Rest(SeatPose{0, 0, 0, 0.5});
    double worst = 0;
    for (int i = 1; i <= 200; ++i) {
        const double t = i * kDt;
        seat.Step(SeatPose{0, 0, 0, 0.5 + 0.2 * std::sin(2 * kPi * t)});
        // Second differences centre one step back.
        const double lift = -0.02 * 4 * kPi * kPi * std::sin(2 * kPi * (t - kDt));
        if (i > 2) worst = std::max(worst, std::abs(seat.SpecificForce()[2] - (kG + lift)));
    }
    EXPECT_LT(worst, 0.01);

    // Pitched back 20 degrees and turning on the turntable at 30 deg/s: the
    // rider turns about the vertical, which his tilted body feels partly as
    // yaw (30 cos 20) and partly as roll (-30 sin 20); the size stays 30.
    seat.Rest(SeatPose{20, 0, 0, 0.5});
    for (int i = 1; i <= 10; ++i) seat.Step(SeatPose{20, 0, 30.0 * i * kDt, 0.5});
    const auto& w = seat.AngularVelocity();
    EXPECT_NEAR(w[2], 30 * std::cos(Radians(20)), 1e-9);
    EXPECT_NEAR(w[0], -30 * std::sin(Radians(20)), 1e-9);
    EXPECT_NEAR(w[1], 0, 1e-9);
}

TEST(CueMeasures, KnownSignalsGiveKnownMeasures) {
    const double threshold = 0.06;
    std::vector<double> vehicle, delayed, opposite, nothing, small;
    for (int i = 0; i < 3000; ++i) {
        const double t = i * kDt;
        vehicle.push_back(std::sin(2 * kPi * 0.2 * t) + 0.5 * std::sin(2 * kPi * 0.53 * t));
        delayed.push_back(std::sin(2 * kPi * 0.2 * (t - 0.4)) + 0.5 * std::sin(2 * kPi * 0.53 * (t - 0.4)));
        opposite.push_back(-vehicle.back());
        nothing.push_back(0);
        small.push_back(0.01 * std::sin(2 * kPi * 0.2 * t));
    }
    const ChannelMeasures same = MeasureChannel(vehicle, vehicle, threshold, kDt);
    EXPECT_EQ(same.Nrmse, 0);
    EXPECT_NEAR(same.Correlation, 1, 1e-12);
    EXPECT_TRUE(same.HasLag);
    EXPECT_EQ(same.LagSeconds, 0);
    EXPECT_EQ(same.FalseCueSeconds, 0);

    const ChannelMeasures late = MeasureChannel(vehicle, delayed, threshold, kDt);
    EXPECT_NEAR(late.LagSeconds, 0.4, kDt + 1e-9);
    EXPECT_GT(late.FalseCueSeconds, 0) << "around each crossing the seat still has the old sign";

    EXPECT_NEAR(MeasureChannel(vehicle, nothing, threshold, kDt).Nrmse, 1, 1e-12) << "a seat that stays still";
    const ChannelMeasures wrong = MeasureChannel(vehicle, opposite, threshold, kDt);
    EXPECT_NEAR(wrong.Nrmse, 2, 1e-12);
    EXPECT_NEAR(wrong.Correlation, -1, 1e-12);
    // Wrong whenever the seat is beyond the threshold: all but the crossings.
    EXPECT_GT(wrong.FalseCueSeconds, 0.9 * 30);
    // Below the threshold a vehicle's motion is judged against the threshold.
    EXPECT_NEAR(MeasureChannel(small, nothing, threshold, kDt).Nrmse, 0.01 / std::sqrt(2.0) / threshold, 1e-4);
}

TEST(CueEvaluation, ASeatThatTiltsAsTheVehicleTiltsIsPerfect) {
    // A vehicle at rest on a rocking platform, rolling and pitching slowly:
    // its specific force is gravity in its tilted frame, worked out here by
    // hand (first roll only, then pitch only). A seat given the same roll and
    // pitch is felt the same on every channel.
    for (const bool rolling : {true, false}) {
        Ride ride;
        ride.Dt = kDt;
        std::vector<double> angle;
        for (int i = 0; i < 3000; ++i) {
            const double t = i * kDt;
            const double deg = 8 * std::sin(2 * kPi * 0.15 * t) * std::sin(2 * kPi * 0.02 * t);
            const double rate = 8 * 2 * kPi *
                                (0.15 * std::cos(2 * kPi * 0.15 * t) * std::sin(2 * kPi * 0.02 * t) +
                                 0.02 * std::sin(2 * kPi * 0.15 * t) * std::cos(2 * kPi * 0.02 * t));
            RideSample s;
            const double r = Radians(deg);
            s.SpecificForce = rolling ? std::array<double, 3>{0, -kG * std::sin(r), kG * std::cos(r)}
                                      : std::array<double, 3>{kG * std::sin(r), 0, kG * std::cos(r)};
            s.AngularVelocity = rolling ? std::array<double, 3>{rate, 0, 0} : std::array<double, 3>{0, rate, 0};
            ride.Samples.push_back(s);
            angle.push_back(deg);
        }
        std::size_t k = 0;
        const Evaluation e = Evaluate(ride,
                                      [&](double, const RideSample&) {
                                          const double deg = angle[k++];
                                          return rolling ? SeatPose{0, deg, 0, 0.5} : SeatPose{deg, 0, 0, 0.5};
                                      },
                                      SeatGeometry{});
        for (int c = 0; c < ChannelCount; ++c) EXPECT_LT(e.Measures[c].Nrmse, 0.02) << ChannelName(c);
        EXPECT_EQ(e.FalseCueSeconds(), 0);
        const auto [lo, hi] = std::minmax_element(angle.begin(), angle.end());
        EXPECT_NEAR(e.RangeShare[rolling ? RollAxis : PitchAxis], (*hi - *lo) / 30, 1e-12);
        EXPECT_EQ(e.RangeShare[YawAxis], 0);
    }
}
