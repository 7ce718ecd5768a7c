// The host's file readers without a seat: telemetry and recordings found by
// column name, rows at uneven spacing interpolated, bad lines named.
#include <gtest/gtest.h>

#include "CliFixture.h"
#include "MotionFile.h"
#include "SeatSession.h"
#include "TelemetryFile.h"

namespace karvel::tools::test {
namespace {

using cli::UsageError;

TEST(TelemetryFile, ColumnsAreFoundByNameAndUnevenRowsInterpolated) {
    // Columns shuffled, two extra ones; rows 0.1 s, then 0.3 s, then 0 s apart.
    const std::string path = writeFile("uneven.csv",
                                       "# a comment\n"
                                       "speed,yaw_rate,time,ax,ay,az,note,roll_rate,pitch_rate\n"
                                       "5,10,1.0,0,0,0,start,0,0\n"
                                       "\n"
                                       "6,20,1.1,1,-2,0,x,3,0\n"
                                       "7,-10,1.4,4,-8,9.81,y,0,-6\n"
                                       "7,-10,1.4,4,-8,9.81,y,0,-6\n");
    const cli::TelemetryFile file = cli::loadTelemetryFile(path);
    ASSERT_EQ(file.samples.size(), 4u);
    EXPECT_DOUBLE_EQ(file.duration(), 0.4);
    // ax, ay, az, roll_rate, pitch_rate, yaw_rate at 1.25 s: half way from 1.1 to 1.4.
    const cli::TelemetrySample mid = cli::telemetryAt(file, 1.25);
    const double expected[] = {2.5, -5, 4.905, 1.5, -3, 5};
    for (std::size_t i = 0; i < 6; ++i) EXPECT_NEAR(mid.motion[i], expected[i], 1e-12) << i;
    EXPECT_NEAR(cli::telemetryAt(file, 1.05).motion[5], 15, 1e-12);
    EXPECT_EQ(cli::telemetryAt(file, 0.5).motion[5], 10) << "held before the first row";
    EXPECT_EQ(cli::telemetryAt(file, 9.0).motion[0], 4) << "held after the last row";
}

TEST(TelemetryFile, BadLinesAreNamed) {
    const auto message = [](const std::string& name, const std::string& text) {
        try {
            cli::loadTelemetryFile(writeFile(name, text));
        } catch (const UsageError& error) {
            return std::string(error.what());
        }
        return std::string("accepted");
    };
    const std::string header = "time,ax,ay,az,roll_rate,pitch_rate,yaw_rate\n";
    EXPECT_NE(message("short.csv", header + "0,0,0,0,0,0,0\n0.1,0,0,0,0,0\n").find("short.csv:3: expected 7 values, found 6"),
              std::string::npos);
    EXPECT_NE(message("nan.csv", header + "0,0,nan,0,0,0,0\n").find("nan.csv:2: ay 'nan' is not a number"),
              std::string::npos);
    EXPECT_NE(message("twice.csv", "time,ax,ax,ay,az,roll_rate,pitch_rate,yaw_rate\n").find("column 'ax' twice"),
              std::string::npos);
    EXPECT_NE(message("empty.csv", header).find("empty.csv:1: no data rows"), std::string::npos);
}

TEST(MotionFile, RecordingIsReplayedFromItsPostureColumns) {
    // A recording: cued rows and a row the game sent itself (empty inputs).
    const std::string path = writeFile("recording.csv",
                                       "time,ax,ay,az,roll_rate,pitch_rate,yaw_rate,pitch,roll,yaw,height\n"
                                       "0.5,9,9,9,400,400,400,1,2,3,0.4\n"
                                       "0.7,,,,,,,3,-2,-5,0.6\n");
    const cli::MotionFile file = cli::loadMotionFile(path);
    ASSERT_EQ(file.samples.size(), 2u);
    EXPECT_TRUE(file.effects.empty());
    const cli::MotionSample mid = cli::postureAt(file, 0.6);
    EXPECT_NEAR(mid.pitch, 2, 1e-6);
    EXPECT_NEAR(mid.roll, 0, 1e-6);
    EXPECT_NEAR(mid.yaw, -1, 1e-6);
    EXPECT_NEAR(mid.height, 0.5, 1e-6);
    // Other unknown columns are still refused: a misspelt effect must not go unnoticed.
    try {
        cli::loadMotionFile(writeFile("typo.csv", "time,pitch,roll,yaw,height,wnd\n0,0,0,0,0.5,1\n"));
        ADD_FAILURE() << "accepted";
    } catch (const UsageError& error) {
        EXPECT_NE(std::string(error.what()).find("typo.csv:1: unknown column 'wnd'"), std::string::npos);
    }
}

} // namespace
} // namespace karvel::tools::test
