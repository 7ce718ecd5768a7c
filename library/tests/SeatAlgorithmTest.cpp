#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "Karvel.h"
#include "KinematicsLog.h"
#include "SeatAlgorithm.h"
#include "support/LogCapture.h"

using karvel::PulseTargets;
using karvel::SeatAlgorithm;
using karvel::test::LogCapture;

namespace {

constexpr int kTamsel = 0;
constexpr int kOrvida = 1;

struct WorkedValue {
    int model;
    float normPos;
    double valueBeforeTruncation;
    int pulse;
};

void expectTargets(const PulseTargets& t, int x, int y, int z, int u) {
    EXPECT_EQ(t.x, x);
    EXPECT_EQ(t.y, y);
    EXPECT_EQ(t.z, z);
    EXPECT_EQ(t.u, u);
}

} // namespace

TEST(SeatAlgorithm, WorkedValuesOfTheCrankModel) {
    const WorkedValue table[] = {
        {kTamsel, 0.0f, 0.0, 0},           {kTamsel, 0.25f, 73604.98, 73604},  {kTamsel, 0.5f, 103002.88, 103002},
        {kTamsel, 0.75f, 129624.63, 129624}, {kTamsel, 1.0f, 180000.0, 180000}, {kOrvida, 0.25f, 44994.66, 44994},
        {kOrvida, 0.5f, 65177.62, 65177},  {kOrvida, 0.75f, 84070.89, 84070},  {kOrvida, 1.0f, 120000.0, 120000},
    };
    for (const WorkedValue& row : table) {
        const KarvelSeat::SeatModel& m = SeatAlgorithm::modelParams(row.model);
        const double position = double{row.normPos} * 2.0 - 1.0;
        EXPECT_NEAR(SeatAlgorithm::lengthToPulse(position, m.LinkLength, m.CrankRadius, m.PulsesPerHalfTurn),
                    row.valueBeforeTruncation, 0.005)
            << "model " << row.model << " normPos " << row.normPos;
        EXPECT_EQ(SeatAlgorithm::calculatePulse(row.normPos, row.model), row.pulse)
            << "model " << row.model << " normPos " << row.normPos;
    }
    // The ends of the stroke are exact.
    EXPECT_EQ(SeatAlgorithm::lengthToPulse(1.0, 200, 90, 180000), 180000.0);
    EXPECT_EQ(SeatAlgorithm::lengthToPulse(-1.0, 185, 50, 120000), 0.0);
}

TEST(SeatAlgorithm, PostureExamples) {
    expectTargets(SeatAlgorithm::postureTargets(7.5f, -7.5f, 90.0f, 0.5f, kTamsel), 103002, 180000, 73604, 420000);
    expectTargets(SeatAlgorithm::postureTargets(7.5f, -7.5f, 90.0f, 0.5f, kOrvida), 65177, 120000, 44994, 420000);
    EXPECT_EQ(SeatAlgorithm::postureTargets(0, 0, 1.0f, 0, kTamsel).u, 4666);
    EXPECT_EQ(SeatAlgorithm::postureTargets(0, 0, -1.0f, 0, kTamsel).u, -4666);
    EXPECT_EQ(SeatAlgorithm::postureTargets(0, 0, 180.0f, 0, kOrvida).u, 840000);
    EXPECT_EQ(SeatAlgorithm::postureTargets(0, 0, -180.0f, 0, kOrvida).u, -840000);
    EXPECT_EQ(SeatAlgorithm::commandTargets(0, 0, 0, 1.0f, kTamsel).u, 2333);
    // The posture and the command differ by a factor two in U.
    EXPECT_EQ(SeatAlgorithm::postureTargets(0, 0, 90.0f, 0, kTamsel).u, 420000);
    EXPECT_EQ(SeatAlgorithm::commandTargets(0, 0, 0, 90.0f, kTamsel).u, 210000);
}

TEST(SeatAlgorithm, AxesMixingAndLimiting) {
    const karvel::AxisPositions full = SeatAlgorithm::calculateAxes(15.0f, 0.0f, 1.0f);
    EXPECT_EQ(full.x, 1.0f);
    EXPECT_EQ(full.y, 1.0f);
    EXPECT_EQ(full.z, 0.5f);
    const karvel::AxisPositions example = SeatAlgorithm::calculateAxes(7.5f, -7.5f, 0.5f);
    EXPECT_EQ(example.x, 0.5f);
    EXPECT_EQ(example.y, 1.0f);
    EXPECT_EQ(example.z, 0.25f);
    // Beyond +-15 degrees acts as +-15; height is limited to 0..1.
    const karvel::AxisPositions beyond = SeatAlgorithm::calculateAxes(40.0f, -90.0f, 3.0f);
    const karvel::AxisPositions limit = SeatAlgorithm::calculateAxes(15.0f, -15.0f, 1.0f);
    EXPECT_EQ(beyond.x, limit.x);
    EXPECT_EQ(beyond.y, limit.y);
    EXPECT_EQ(beyond.z, limit.z);
    const karvel::AxisPositions low = SeatAlgorithm::calculateAxes(0.0f, 0.0f, -2.0f);
    EXPECT_EQ(low.x, 0.0f);
    EXPECT_EQ(low.z, 0.0f);
    // A NaN is taken as the upper bound: height 1, full positive deflection.
    const float nan = std::numeric_limits<float>::quiet_NaN();
    const karvel::AxisPositions nanHeight = SeatAlgorithm::calculateAxes(0.0f, 0.0f, nan);
    EXPECT_EQ(nanHeight.x, 1.0f);
    EXPECT_EQ(nanHeight.z, 1.0f);
    const karvel::AxisPositions nanPitch = SeatAlgorithm::calculateAxes(nan, 0.0f, 0.0f);
    const karvel::AxisPositions fullPitch = SeatAlgorithm::calculateAxes(15.0f, 0.0f, 0.0f);
    EXPECT_EQ(nanPitch.x, fullPitch.x);
    EXPECT_EQ(nanPitch.z, fullPitch.z);
}

TEST(SeatAlgorithm, OutOfStrokeAndUnknownModels) {
    for (int model : {kTamsel, kOrvida}) {
        EXPECT_EQ(SeatAlgorithm::calculatePulse(1.01f, model), 0);
        EXPECT_EQ(SeatAlgorithm::calculatePulse(-0.01f, model), 0);
        EXPECT_EQ(SeatAlgorithm::calculatePulse(std::numeric_limits<float>::quiet_NaN(), model), 0);
        expectTargets(SeatAlgorithm::postureTargets(0, 0, 0, 0, model), 0, 0, 0, 0);
    }
    for (int unknown : {2, 7, -1}) {
        for (float pos : {0.25f, 0.5f, 0.75f})
            EXPECT_EQ(SeatAlgorithm::calculatePulse(pos, unknown), SeatAlgorithm::calculatePulse(pos, kTamsel));
        const PulseTargets t = SeatAlgorithm::postureTargets(7.5f, -7.5f, 90.0f, 0.5f, unknown);
        expectTargets(t, 103002, 180000, 73604, 420000);
    }
    // A zero denominator (no crank) gives 0 rather than a division.
    EXPECT_EQ(SeatAlgorithm::lengthToPulse(0.0, 100, 0, 1000), 0.0);
}

TEST(SeatAlgorithm, HomeTargets) {
    expectTargets(SeatAlgorithm::homeTargets(kOrvida), 65177, 65177, 65177, 0);
    expectTargets(SeatAlgorithm::homeTargets(kTamsel), 0, 0, 0, 0);
    expectTargets(SeatAlgorithm::homeTargets(5), 0, 0, 0, 0);
}

TEST(SeatAlgorithm, RotationBeyondThe32BitRangeSaturates) {
    EXPECT_EQ(SeatAlgorithm::calculateRotationPulse(1e9f, kTamsel), std::numeric_limits<std::int32_t>::max());
    EXPECT_EQ(SeatAlgorithm::calculateRotationPulse(-1e9f, kTamsel), std::numeric_limits<std::int32_t>::min());
    EXPECT_EQ(SeatAlgorithm::calculateRotationPulse(std::numeric_limits<float>::infinity(), kTamsel),
              std::numeric_limits<std::int32_t>::max());
    EXPECT_EQ(SeatAlgorithm::calculateRotationPulse(std::numeric_limits<float>::quiet_NaN(), kTamsel), 0);
    // Turns beyond one keep growing, negative turns give negative pulses.
    EXPECT_EQ(SeatAlgorithm::calculateRotationPulse(2.0f, kTamsel), 1680000);
    EXPECT_EQ(SeatAlgorithm::truncateToPulse(-0.99), 0);
    EXPECT_EQ(SeatAlgorithm::truncateToPulse(2147483646.9), 2147483646);
}

TEST(SeatAlgorithm, TracesEachStepForTheLogAndWritesNothingItself) {
    Ridova_SetLogCallback(&LogCapture::callback);
    LogCapture::instance().clear();
    karvel::KinematicsTrace trace;
    SeatAlgorithm::postureTargets(7.5f, -7.5f, 90.0f, 0.5f, kTamsel, &trace);
    SeatAlgorithm::homeTargets(kOrvida);
    EXPECT_TRUE(LogCapture::instance().texts().empty());
    karvel::logKinematics(trace, kTamsel);
    const std::vector<std::string> expected = {
        "[Ridova][DEBUG] SeatAlgorithm::calculateAxes input: pitch=7.50, roll=-7.50, height=0.50",
        "[Ridova][DEBUG] SeatAlgorithm::calculateAxes output: 0.50, 1.00, 0.25",
        "[Ridova][DEBUG] SeatAlgorithm::calculatePulse [type=0] normPos=0.50 -> length=0.00 -> pulse=103002",
        "[Ridova][DEBUG] SeatAlgorithm::calculatePulse [type=0] normPos=1.00 -> length=1.00 -> pulse=180000",
        "[Ridova][DEBUG] SeatAlgorithm::calculatePulse [type=0] normPos=0.25 -> length=-0.50 -> pulse=73604",
        "[Ridova][DEBUG] SeatAlgorithm::calculateRotationPulse [type=0] uTurns=0.50 -> pulse=420000",
    };
    EXPECT_EQ(LogCapture::instance().texts(), expected);
    for (const karvel::test::LogEntry& entry : LogCapture::instance().entries()) EXPECT_EQ(entry.level, 0);
    Ridova_SetLogCallback(nullptr);
}
