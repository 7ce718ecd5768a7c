// The core against what a rider should feel, with expected values from
// physics and the filters' continuous responses, not from the core's code.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <vector>

#include "EnvelopeCheck.h"
#include "MotionCueing.h"

using namespace KarvelCueing;
using KarvelCueingTest::EnvelopeCheck;

namespace {

constexpr double kPi = 3.141592653589793;
constexpr double kDt = 1.0 / 60;

VehicleMotion Accelerating(double Ax, double Ay = 0, double Az = 0) {
    VehicleMotion m;
    m.Acceleration = {Ax, Ay, Az};
    return m;
}

VehicleMotion Turning(double RollRate, double PitchRate, double YawRate) {
    VehicleMotion m;
    m.AngularVelocity = {RollRate, PitchRate, YawRate};
    return m;
}

// Steps the core with a constant motion for Seconds, checking the envelope
// all along; returns the outputs.
std::vector<SeatPose> Hold(MotionCueing& Core, EnvelopeCheck& Check, const VehicleMotion& Motion, double Seconds,
                           double Dt = kDt) {
    std::vector<SeatPose> out;
    for (int i = 0; i * Dt < Seconds; ++i) {
        out.push_back(Core.Step(Dt, Motion));
        Check.Observe(Dt, out.back());
    }
    return out;
}

double Degrees(double Radians) { return Radians * 180 / kPi; }

} // namespace

TEST(TiltCoordination, SustainedAccelerationConvergesToTheGravityTiltAtTheTiltRate) {
    struct Case {
        double Ax, Ay;
        double Pitch, Roll; // asin(a / g) * gain, limited to the tilt limit
    };
    const double g = 9.80665;
    for (const CueingProfile* profile : {&RoadVehicleProfile(), &FlightProfile(), &GentleProfile()}) {
        const CueingProfile& p = *profile;
        const double small = p.TiltGain * Degrees(std::asin(2.0 / g)); // 11.8 deg * gain, within each limit
        ASSERT_LT(small, p.TiltLimit);
        const Case cases[] = {
            {2.0, 0, small, 0},          // speeding up: leaned back
            {-2.0, 0, -small, 0},        // braking: tipped forward
            {0, 2.0, 0, -small},         // right turn, pushed right: left side down, rider thrown outward (left)
            {0, -2.0, 0, small},         // left turn
            {6.0, 0, p.TiltLimit, 0},    // asin(0.61) = 37.7 deg * gain, held at the limit
            {-30.0, 0, -p.TiltLimit, 0}, // beyond 1 g: still the limit, no NaN from asin
        };
        // The platform tilts no further than keeps each support axis 5 % of
        // its stroke clear of its ends (30 degrees of pitch or roll move an
        // axis by a whole stroke).
        const double reach = 30 * std::min(0.95 - p.NeutralHeight, p.NeutralHeight - 0.05);
        for (Case c : cases) {
            c.Pitch = std::clamp(c.Pitch, -reach, reach);
            c.Roll = std::clamp(c.Roll, -reach, reach);
            MotionCueing core(p);
            EnvelopeCheck check(p, core.Current());
            const auto out = Hold(core, check, Accelerating(c.Ax, c.Ay), 15);
            EXPECT_TRUE(check.Ok()) << check.FirstFailure();
            EXPECT_NEAR(out.back().Pitch, c.Pitch, 1e-3) << c.Ax << ", " << c.Ay;
            EXPECT_NEAR(out.back().Roll, c.Roll, 1e-3) << c.Ax << ", " << c.Ay;
            // Never faster than a rider notices as rotation.
            EXPECT_LE(check.PeakVelocity(0), p.TiltRate + 1e-9);
            EXPECT_LE(check.PeakVelocity(1), p.TiltRate + 1e-9);
            // ... and not much slower either: the tilt ramps at its rate, so it
            // is most of the way there after the ramp time plus the low-pass's lag.
            const double ramp = std::abs(c.Pitch + c.Roll) / p.TiltRate;
            const double lag = 2 / (2 * kPi * p.TiltFrequency);
            const size_t due = static_cast<size_t>((ramp + lag) / kDt);
            EXPECT_GT(std::abs(out[due].Pitch + out[due].Roll), 0.9 * std::abs(c.Pitch + c.Roll));
            EXPECT_NEAR(out.back().Yaw, 0, 1e-9);
            EXPECT_NEAR(out.back().Height, p.NeutralHeight, 1e-9);
        }
    }
}

TEST(TiltCoordination, SettlesBackWhenTheAccelerationEnds) {
    MotionCueing core;
    EnvelopeCheck check(core.Profile(), core.Current());
    Hold(core, check, Accelerating(-3.0), 6);
    EXPECT_LT(core.Current().Pitch, -5);
    const auto out = Hold(core, check, VehicleMotion{}, 10);
    EXPECT_NEAR(out.back().Pitch, 0, 1e-6);
    EXPECT_TRUE(check.Ok()) << check.FirstFailure();
}

TEST(Onset, RateStepRotatesTheSameWayAndWashesOutInTheFiltersTime) {
    // A rate step r through the onset channel (s^2/(s+w)^2 then 1/s) gives
    // gain * r * t * e^(-w t): a peak of gain * r / (w e) at t = 1/w, down to
    // 12 e^-11 = 0.2 % of it... let 14/w pass and it is below 0.1 % of the peak.
    const CueingProfile& road = RoadVehicleProfile();
    struct Case {
        VehicleMotion Motion;
        int Axis; // 0 pitch, 1 roll, 2 yaw
        double Gain, Hz, Rate;
    };
    const Case cases[] = {
        {Turning(0, 10, 0), 0, road.PitchRateGain, road.PitchWashout, 10},
        {Turning(0, -10, 0), 0, road.PitchRateGain, road.PitchWashout, -10},
        {Turning(10, 0, 0), 1, road.RollRateGain, road.RollWashout, 10},
        {Turning(0, 0, 30), 2, road.YawRateGain, road.YawWashout, 30},
        {Turning(0, 0, -30), 2, road.YawRateGain, road.YawWashout, -30},
    };
    for (const Case& c : cases) {
        MotionCueing core;
        EnvelopeCheck check(road, core.Current());
        const double w = 2 * kPi * c.Hz;
        const auto out = Hold(core, check, c.Motion, 14 / w);
        EXPECT_TRUE(check.Ok()) << check.FirstFailure();
        auto axis = [&](const SeatPose& p) { return c.Axis == 0 ? p.Pitch : c.Axis == 1 ? p.Roll : p.Yaw; };
        double peak = 0;
        size_t peakAt = 0;
        for (size_t i = 0; i < out.size(); ++i)
            if (std::abs(axis(out[i])) > std::abs(peak)) peak = axis(out[i]), peakAt = i;
        const double expectedPeak = c.Gain * c.Rate / (w * std::exp(1.0));
        // The envelope takes the first instants of the step a little slower.
        EXPECT_NEAR(peak, expectedPeak, 0.03 * std::abs(expectedPeak));
        EXPECT_NEAR((peakAt + 1) * kDt, 1 / w, 0.1 / w);
        EXPECT_LT(std::abs(axis(out.back())), 1e-3 * std::abs(expectedPeak));
    }
}

TEST(Onset, HeaveStepRaisesTheSeatAndReturnsItToNeutral) {
    // Travel = gain * a * L^-1{1 / ((s + w)^2 (s + b))}
    //        = gain * a * [(e^(-b t) - e^(-w t)) / (w - b)^2 - t e^(-w t) / (w - b)].
    // Envelope limits wide enough that the shape shows unchanged.
    CueingProfile road = RoadVehicleProfile();
    road.HeightAcceleration = 100;
    road.HeightVelocity = 5;
    const double w = 2 * kPi * road.HeaveWashout, b = 2 * kPi * road.HeaveReturn, a = 3.0;
    auto travel = [&](double t) {
        return road.HeaveGain * a *
               ((std::exp(-b * t) - std::exp(-w * t)) / ((w - b) * (w - b)) - t * std::exp(-w * t) / (w - b));
    };
    MotionCueing core(road);
    EnvelopeCheck check(road, core.Current());
    const double dt = 1.0 / 240;
    const auto out = Hold(core, check, Accelerating(0, 0, a), 20 / b, dt);
    EXPECT_TRUE(check.Ok()) << check.FirstFailure();
    double worst = 0, highest = 0;
    for (size_t i = 0; i < out.size(); ++i) {
        const double t = (i + 0.5) * dt;
        worst = std::max(worst, std::abs(out[i].Height - 0.5 - travel(t)));
        highest = std::max(highest, out[i].Height - 0.5);
    }
    EXPECT_GT(highest, 0.02); // it rises (a push upward lifts the seat)
    EXPECT_LT(worst, 0.01 * highest);
    EXPECT_NEAR(out.back().Height, 0.5, 1e-3 * highest);

    // With the preset's own limits the same step rises as far, only later.
    MotionCueing preset;
    EnvelopeCheck presetCheck(preset.Profile(), preset.Current());
    const auto limited = Hold(preset, presetCheck, Accelerating(0, 0, a), 20 / b, dt);
    EXPECT_TRUE(presetCheck.Ok()) << presetCheck.FirstFailure();
    double presetHighest = 0;
    for (const SeatPose& p : limited) presetHighest = std::max(presetHighest, p.Height - 0.5);
    EXPECT_NEAR(presetHighest, highest, 0.02 * highest);
}

TEST(Yaw, HeadingRoundAndRoundNeverJumpsAndWashesBackToCentre) {
    // A steady 90 deg/s turn for 40 s: the heading crosses +-180 ten times;
    // the core only ever sees the rate, so the turntable follows the turn's
    // start and eases back to centre, continuously and within its range.
    const CueingProfile& road = RoadVehicleProfile();
    for (const double rate : {90.0, -90.0, 720.0}) {
        MotionCueing core;
        EnvelopeCheck check(road, core.Current());
        const auto out = Hold(core, check, Turning(0, 0, rate), 40);
        EXPECT_TRUE(check.Ok()) << check.FirstFailure();
        EXPECT_GT(std::abs(out[60].Yaw), 1.0);
        EXPECT_EQ(out[60].Yaw > 0, rate > 0);
        EXPECT_NEAR(out.back().Yaw, 0, 1e-3);
    }
}

TEST(Yaw, RequestedHeadingTakesTheShortWayAndStaysInRange) {
    CueingProfile wide = RoadVehicleProfile();
    wide.YawLimit = 180;
    wide.YawVelocity = 120;
    wide.YawAcceleration = 400;
    wide.ParkSeconds = 4;
    ASSERT_EQ(ValidateProfile(wide), "");
    MotionCueing core(wide);
    EnvelopeCheck check(wide, core.Current());
    // A heading that turns steadily right through +-180 as an engine reports
    // it: normalised to (-180, 180].
    double heading = 150;
    for (int i = 0; i < 240; ++i) {
        heading += 0.5;
        const double reported = heading > 180 ? heading - 360 : heading;
        SeatPose requested;
        requested.Yaw = reported;
        const SeatPose out = core.StepPosture(kDt, requested);
        check.Observe(kDt, out);
    }
    EXPECT_TRUE(check.Ok()) << check.FirstFailure();
    // The turntable went up to its end (+180) and stayed there rather than
    // swinging a full turn back.
    EXPECT_NEAR(core.Current().Yaw, 180, 1e-6);

    // From +170, a request of -170 is 20 deg further on, not 340 back.
    MotionCueing other(wide);
    SeatPose at170;
    at170.Yaw = 170;
    for (int i = 0; i < 300; ++i) other.StepPosture(kDt, at170);
    ASSERT_NEAR(other.Current().Yaw, 170, 1e-6);
    SeatPose across;
    across.Yaw = -170;
    other.StepPosture(kDt, across);
    const double first = other.StepPosture(kDt, across).Yaw;
    EXPECT_GT(first, 170);
}
