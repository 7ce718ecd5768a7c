// The inverse of the crank model on targets the library's kinematics are
// known to give, and the cases where a limited request gives the same frame.
#include <gtest/gtest.h>

#include "SeatInverse.h"

namespace karvel::sim {
namespace {

TEST(SeatInverse, RecoversKnownPosturesOfBothModels) {
    // pitch 7.5, roll -7.5, yaw 90, height 0.5 on each model
    const DecodedPosture tamsel = invertTargets(KarvelSeat::TamselSeat, {103002, 180000, 73604, 420000});
    const DecodedPosture orvida = invertTargets(KarvelSeat::OrvidaSeat, {65177, 120000, 44994, 420000});
    for (const DecodedPosture& p : {tamsel, orvida}) {
        EXPECT_NEAR(p.pitch, 7.5, 1e-3);
        EXPECT_NEAR(p.roll, -7.5, 1e-3);
        EXPECT_NEAR(p.height, 0.5, 1e-4);
        EXPECT_NEAR(p.yaw, 90.0, 1e-3);
        EXPECT_NE(p.ambiguity.find("Y at the top"), std::string::npos) << p.ambiguity;
    }
    const DecodedPosture home = invertTargets(KarvelSeat::OrvidaSeat, {65177, 65177, 65177, 0});
    EXPECT_NEAR(home.height, 0.5, 1e-4);
    EXPECT_NEAR(home.pitch, 0.0, 1e-3);
    EXPECT_EQ(home.ambiguity, "");
}

TEST(SeatInverse, SaysWhereLimitingMakesTheFrameAmbiguous) {
    EXPECT_NE(invertTargets(KarvelSeat::TamselSeat, {0, 0, 0, 0}).ambiguity.find("X at the bottom"), std::string::npos);
    const DecodedPosture full = invertTargets(KarvelSeat::TamselSeat, {180000, 180000, 103002, 0}); // pitch 15, height 1
    EXPECT_NEAR(full.pitch, 7.5, 1e-3) << "X and Y saturate: the frame only shows what is left";
    EXPECT_NE(full.ambiguity.find("limited request"), std::string::npos);
    EXPECT_NE(invertTargets(KarvelSeat::TamselSeat, {-5, 200000, 0, 0}).ambiguity.find("outside the stroke"), std::string::npos);
}

} // namespace
} // namespace karvel::sim
