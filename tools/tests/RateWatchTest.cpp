// The virtual seat's rate display and envelope flags, fed frame by frame with
// hand-chosen postures and arrival times (seconds).
#include <gtest/gtest.h>

#include "RateWatch.h"

namespace karvel::sim {
namespace {

constexpr AxisRates kLimits{30, 30, 80, 1.5};

DecodedPosture pose(double pitch, double roll = 0, double yaw = 0, double height = 0.5) {
    DecodedPosture p;
    p.pitch = pitch;
    p.roll = roll;
    p.yaw = yaw;
    p.height = height;
    return p;
}

TEST(RateWatch, SteadyStreamShowsItsRatesAndFlagsOnlyWhatExceedsTheLimits) {
    RateWatch within(kLimits), beyond(kLimits);
    for (int i = 0; i <= 100; ++i) { // 100 Hz for a second
        const double t = 5.0 + i * 0.01;
        EXPECT_FALSE(within.add(i + 1, pose(0.2 * i, -0.1 * i, 0.5 * i, 0.5 + 0.01 * i), t)) << i;
        beyond.add(i + 1, pose(0.4 * i), t); // 40 deg/s against 30
    }
    const RateReport& r = within.report();
    EXPECT_NEAR(r.current.pitch, 20.0, 1e-6);
    EXPECT_NEAR(r.current.roll, -10.0, 1e-6);
    EXPECT_NEAR(r.current.yaw, 50.0, 1e-6);
    EXPECT_NEAR(r.current.height, 1.0, 1e-6);
    EXPECT_NEAR(r.peak.roll, 10.0, 1e-6) << "peaks are magnitudes";
    EXPECT_EQ(r.flagged, 0u);
    EXPECT_EQ(beyond.report().flagged, 93u) << "every frame once eight intervals give the frame time";
    EXPECT_NEAR(beyond.report().current.pitch, 40.0, 1e-6);
}

TEST(RateWatch, ABurstAfterAStallIsNotTakenForSpeed) {
    RateWatch watch(kLimits);
    std::uint64_t frame = 0;
    double pitch = 0;
    for (int i = 0; i < 50; ++i) watch.add(++frame, pose(pitch += 0.25), i * 0.01); // 25 deg/s
    // The sender stalls for 80 ms, then sends the 8 frames it owes 0.1 ms apart.
    for (int i = 0; i < 8; ++i) EXPECT_FALSE(watch.add(++frame, pose(pitch += 0.25), 0.57 + i * 1e-4)) << i;
    EXPECT_EQ(watch.report().flagged, 0u);
    // Over the mean frame time since the start: 0.5707 s for 57 frames, about 10 ms.
    EXPECT_NEAR(watch.report().current.pitch, 25.0, 0.1) << "the rate over the sender's frame time";
}

TEST(RateWatch, AStreamThatStartsBunchedIsHeldToTheLongestStepUntilItsFrameTimeIsKnown) {
    // The first frames of a 100 Hz stream arrive 0.1 ms apart: an envelope
    // starting from rest at 250 deg/s^2, up to 26 deg/s.
    RateWatch bunched(kLimits);
    const auto ramp = [](int i) { return pose(0.0125 * i * i); };
    for (int i = 0; i < 4; ++i) EXPECT_FALSE(bunched.add(i + 1, ramp(i), 1.0 + i * 1e-4)) << i;
    for (int i = 4; i < 12; ++i) EXPECT_FALSE(bunched.add(i + 1, ramp(i), 0.99 + i * 0.01)) << i;
    EXPECT_EQ(bunched.report().flagged, 0u) << bunched.report().lastFlag;
    // A jump at the start is still one: beyond what 0.1 s at the limits allow.
    RateWatch jumping(kLimits);
    jumping.add(1, pose(0), 1.0);
    EXPECT_TRUE(jumping.add(2, pose(5.0), 1.01));
}

TEST(RateWatch, YawThatWrapsAroundIsFlagged) {
    RateWatch watch(kLimits);
    for (int i = 0; i < 10; ++i) watch.add(i + 1, pose(0, 0, 179.0 + 0.1 * i), i * 0.01);
    EXPECT_TRUE(watch.add(11, pose(0, 0, -179.9), 0.10));
    EXPECT_EQ(watch.report().flagged, 1u);
    EXPECT_NE(watch.report().lastFlag.find("frame 11: yaw -359.800deg in 10.0 ms"), std::string::npos)
        << watch.report().lastFlag;
}

TEST(RateWatch, AfterAPauseTheSeatMayMoveOnlyWhatTheLimitsAllowInTheLongestStep) {
    // The envelope counts a long step as 0.1 s: 30 deg/s allow 3 degrees (3.3 with the tolerance).
    RateWatch small(kLimits), large(kLimits);
    for (RateWatch* watch : {&small, &large})
        for (int i = 0; i < 10; ++i) watch->add(i + 1, pose(0), i * 0.01);
    EXPECT_FALSE(small.add(11, pose(3.0), 2.09));
    EXPECT_TRUE(large.add(11, pose(3.5), 2.09));
    EXPECT_NE(large.report().lastFlag.find("pitch +3.500deg in 2000.0 ms (35.0/s, limit 30.0/s)"), std::string::npos)
        << large.report().lastFlag;
}

TEST(RateWatch, RatesFallToZeroOnceTheStreamStops) {
    RateWatch watch(kLimits);
    EXPECT_EQ(watch.reportAt(0.0).current.pitch, 0.0) << "no frame yet";
    for (int i = 0; i <= 50; ++i) watch.add(i + 1, pose(0.2 * i, 0, 0.9 * i), 1.0 + i * 0.01); // 20 and 90 deg/s
    EXPECT_NEAR(watch.reportAt(1.5 + 0.2).current.pitch, 20.0, 1e-6) << "0.2 s after the last frame";
    const RateReport still = watch.reportAt(1.5 + 0.3);
    EXPECT_EQ(still.current.pitch, 0.0) << "0.3 s after the last frame the seat stands still";
    EXPECT_EQ(still.current.yaw, 0.0);
    EXPECT_NEAR(still.peak.yaw, 90.0, 1e-6) << "the peak stays";
    EXPECT_NEAR(watch.report().current.pitch, 20.0, 1e-6) << "what the last frame did is kept";
}

TEST(RateWatch, ANewSessionClearsPeaksAndFlagsButStillMovesFromTheLastPosture) {
    RateWatch watch(kLimits);
    for (int i = 0; i < 10; ++i) watch.add(i + 1, pose(0), i * 0.01);
    EXPECT_TRUE(watch.add(11, pose(10), 0.1));
    watch.startSession();
    EXPECT_EQ(watch.report().flagged, 0u);
    EXPECT_EQ(watch.report().lastFlag, "");
    EXPECT_EQ(watch.report().peak.pitch, 0.0);
    EXPECT_EQ(watch.report().limits.pitch, kLimits.pitch);
    // The seat is at 10 degrees: going to 20 at once is still a jump.
    EXPECT_TRUE(watch.add(1, pose(20), 0.11));
    EXPECT_NE(watch.report().lastFlag.find("frame 1: pitch +10.000deg"), std::string::npos) << watch.report().lastFlag;
}

TEST(RateWatch, PresetLimitsCoverEveryPreset) {
    const AxisRates limits = presetRateLimits();
    EXPECT_GT(limits.pitch, 0);
    EXPECT_GT(limits.yaw, 0);
    EXPECT_GT(limits.height, 0);
}

} // namespace
} // namespace karvel::sim
