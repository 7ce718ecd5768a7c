// The posture checks every host applies, with expected values worked by hand.
#include <gtest/gtest.h>

#include <limits>

#include "SeatHost/PostureRules.h"

using namespace KarvelSeat;

TEST(PostureRules, ClampingTakesUpperBoundsFirst) {
    const float NaN = std::numeric_limits<float>::quiet_NaN();
    struct Case {
        Posture In, Out;
    };
    for (const Case& C : {Case{{20, -20, 200, 2}, {15, -15, 180, 1}}, Case{{-15, 15, -180, 0}, {-15, 15, -180, 0}},
                          Case{{-16, 14.5f, -181, -0.1f}, {-15, 14.5f, -180, 0}},
                          Case{{NaN, NaN, NaN, NaN}, {15, 15, 180, 1}}}) {
        const Posture Out = ClampPosture(C.In);
        EXPECT_EQ(Out.Pitch, C.Out.Pitch);
        EXPECT_EQ(Out.Roll, C.Out.Roll);
        EXPECT_EQ(Out.Yaw, C.Out.Yaw);
        EXPECT_EQ(Out.Height, C.Out.Height);
    }
    EXPECT_TRUE(IsFinite(Posture{15, -15, 180, 1}));
    EXPECT_FALSE(IsFinite(Posture{0, NaN, 0, 0.5f}));
    EXPECT_FALSE(IsFinite(Posture{0, 0, std::numeric_limits<float>::infinity(), 0.5f}));
}

TEST(PostureRules, AnglesAreNormalisedIntoTheHalfOpenTurn) {
    const std::pair<double, double> Cases[] = {{370, 10},  {-190, 170}, {-180, 180}, {180, 180}, {540, 180},
                                               {725, 5},   {-367.5, -7.5}, {0, 0},   {-0.25, -0.25}, {359, -1}};
    for (const auto& [In, Out] : Cases) EXPECT_EQ(NormalizeDegrees(In), Out) << In;
}

// An engine rotator's order is pitch, yaw, roll; each angle normalised, then signed.
TEST(PostureRules, RotatorsBecomeSignedPostures) {
    const Posture P = RotatorPosture(370, -190, 0, 0.5f);
    EXPECT_EQ(P.Pitch, 10.0f);
    EXPECT_EQ(P.Yaw, 170.0f);
    EXPECT_EQ(P.Roll, 0.0f);
    EXPECT_EQ(P.Height, 0.5f);
    const Posture Signed = RotatorPosture(-367.5, 90, 5, 0.25f, 1, -1, -1);
    EXPECT_EQ(Signed.Pitch, -7.5f);
    EXPECT_EQ(Signed.Roll, -5.0f);
    EXPECT_EQ(Signed.Yaw, -90.0f);
    EXPECT_EQ(Signed.Height, 0.25f);
    EXPECT_EQ(RotatorPosture(30, 0, -725, 0.5f, 1, 2, 0).Roll, -10.0f) << "not clamped here: that is the posture's";
}
