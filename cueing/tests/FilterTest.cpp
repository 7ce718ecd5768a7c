// The second-order filters against their continuous-time responses, worked
// out by hand from the Laplace transforms (critically damped, w = 2 pi f):
//   low-pass  w^2/(s+w)^2, unit step: 1 - (1 + w t) e^(-w t)
//   high-pass s^2/(s+w)^2, unit step: (1 - w t) e^(-w t)
// and the limiter under everything that leaves the core. (The integrators
// are checked through the cues they make, in CueingTest.)
#include <gtest/gtest.h>

#include <cmath>
#include <random>

#include "HighPass2.h"
#include "LowPass2.h"
#include "RateLimiter.h"

using namespace KarvelCueing;

namespace {

constexpr double kTwoPi = 2.0 * 3.141592653589793;

} // namespace

TEST(SecondOrderFilters, StepResponsesFollowTheContinuousCurves) {
    for (const double hz : {0.2, 1.0}) {
        for (const double dt : {1.0 / 1000, 1.0 / 60}) {
            LowPass2 low;
            HighPass2 high;
            low.SetFrequency(hz);
            high.SetFrequency(hz);
            // The step arrives within the first step: the trapezoidal rule
            // sees it as a ramp over that step, so compare from the step's middle.
            const double w = kTwoPi * hz;
            double worstLow = 0, worstHigh = 0;
            for (int i = 1; i * dt < 8 / w; ++i) {
                const double t = i * dt - dt / 2;
                const double y = low.Step(dt, 1.0);
                const double x = high.Step(dt, 1.0);
                if (i < 3) continue;
                worstLow = std::max(worstLow, std::abs(y - (1 - (1 + w * t) * std::exp(-w * t))));
                worstHigh = std::max(worstHigh, std::abs(x - (1 - w * t) * std::exp(-w * t)));
            }
            // The trapezoidal rule is second-order accurate in w * dt.
            const double tolerance = 0.5 * (w * dt) * (w * dt) + 1e-4;
            EXPECT_LT(worstLow, tolerance) << hz << " Hz, dt " << dt;
            EXPECT_LT(worstHigh, tolerance) << hz << " Hz, dt " << dt;
        }
    }
}

namespace {

// Runs a limiter at the given steps and checks every output against its
// limits, measured as the seat sees them: change of position over the step.
struct LimiterRun {
    double vmax, amax;
    double lastVelocity = 0;
    double worstVelocity = 0, worstAcceleration = 0;
    void Check(double before, double after, double dt) {
        const double v = (after - before) / dt;
        worstVelocity = std::max(worstVelocity, std::abs(v) - vmax);
        worstAcceleration = std::max(worstAcceleration, std::abs(v - lastVelocity) / dt - amax);
        lastVelocity = v;
    }
};

} // namespace

TEST(RateLimiter, TravelsAsFastAsTheLimitsAllowWithoutOvershoot) {
    // From rest over 30 units at v 30, a 200: accelerate 0.15 s, cruise, brake
    // 0.15 s, in all 30/30 + 30/200 = 1.15 s of continuous motion.
    RateLimiter limiter;
    limiter.SetLimits(30, 200);
    limiter.Reset(-15);
    LimiterRun run{30, 200};
    const double dt = 1.0 / 120;
    double t = 0, highest = -15;
    while (!limiter.AtRestOn(15) && t < 5) {
        const double before = limiter.Position();
        limiter.Step(dt, 15);
        run.Check(before, limiter.Position(), dt);
        highest = std::max(highest, limiter.Position());
        t += dt;
    }
    EXPECT_LE(highest, 15.0);
    EXPECT_LE(run.worstVelocity, 1e-9);
    EXPECT_LE(run.worstAcceleration, 1e-6);
    // Braking so that steps of any length to come can still stop it costs a
    // few steps at the end (the profile's park check allows six at 30 Hz).
    EXPECT_GT(t, 1.15 - dt);
    EXPECT_LT(t, 1.15 + 6 * dt);
}

TEST(RateLimiter, NeverOvershootsWhateverTheStepLengths) {
    // A shorter step after a longer one is where a plain v^2 = 2 a d braking
    // curve runs past the target.
    std::mt19937 random(11);
    std::uniform_real_distribution<double> coin(0, 1);
    for (int trial = 0; trial < 200; ++trial) {
        RateLimiter limiter;
        limiter.SetLimits(30, 200);
        limiter.Reset(0);
        LimiterRun run{30, 200};
        const double target = 20 * coin(random);
        for (int i = 0; i < 600; ++i) {
            const double dt = coin(random) < 0.5 ? 0.1 * coin(random) + 1e-5 : 1e-4;
            const double before = limiter.Position();
            limiter.Step(dt, target);
            run.Check(before, limiter.Position(), dt);
            ASSERT_LE(limiter.Position(), target + 1e-9) << "trial " << trial << " step " << i;
        }
        EXPECT_LE(run.worstVelocity, 1e-9);
        EXPECT_LE(run.worstAcceleration, 1e-6);
    }
}
