// The host's file readers without a seat: telemetry and recordings found by
// column name, rows at uneven spacing interpolated, bad lines named, files
// as spreadsheets write them read or refused with what to change.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>

#include "CliFixture.h"
#include "MotionFile.h"
#include "TelemetryFile.h"
#include "UsageError.h"

namespace karvel::tools::test {
namespace {

using cli::UsageError;

// What loading the motion file `text` says: "accepted" or the complaint.
std::string motionFileMessage(const std::string& name, const std::string& text) {
    try {
        cli::loadMotionFile(writeFile(name, text));
    } catch (const UsageError& error) {
        return error.what();
    }
    return "accepted";
}

constexpr double kG = 9.80665;

void expectNear(const std::array<double, 3>& actual, const std::array<double, 3>& expected, const char* what) {
    for (std::size_t i = 0; i < 3; ++i) EXPECT_NEAR(actual[i], expected[i], 1e-9) << what << " " << i;
}

TEST(TelemetryFile, ColumnsAreFoundByNameAndUnevenRowsInterpolated) {
    // Columns shuffled, two extra ones; rows 0.1 s, then 0.3 s, then 0 s apart.
    // Acceleration without attitude: a level vehicle, gravity added on z.
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
    EXPECT_TRUE(file.hasAcceleration);
    EXPECT_DOUBLE_EQ(file.duration(), 0.4);
    // At 1.25 s: half way from 1.1 to 1.4.
    const cli::TelemetrySample mid = cli::telemetryAt(file, 1.25);
    expectNear(mid.acceleration, {2.5, -5, 4.905}, "acceleration");
    expectNear(mid.force, {2.5, -5, 4.905 + kG}, "specific force");
    expectNear(mid.rates, {1.5, -3, 5}, "rates");
    EXPECT_NEAR(cli::telemetryAt(file, 1.05).rates[2], 15, 1e-12);
    EXPECT_EQ(cli::telemetryAt(file, 0.5).rates[2], 10) << "held before the first row";
    EXPECT_EQ(cli::telemetryAt(file, 9.0).force[0], 4) << "held after the last row";
}

TEST(TelemetryFile, SpecificForceIsTakenAsItIsAndGravityAddedByTheAttitude) {
    // Specific force given: used as it stands, even beside an acceleration.
    const cli::TelemetryFile given = cli::loadTelemetryFile(
        writeFile("force.csv", "time,fx,fy,fz,ax,ay,az,roll_rate,pitch_rate,yaw_rate\n0,1,2,3,7,8,9,0,0,0\n"));
    expectNear(given.samples[0].force, {1, 2, 3}, "given");
    expectNear(given.samples[0].acceleration, {7, 8, 9}, "kept");

    // Acceleration with attitude: a coordinated turn banked 30 degrees right
    // (worked by hand): the turn's acceleration in the banked frame is
    // g tan 30 = 5.66184 m/s^2 toward the turn's centre, i.e. ay = g sin 30 =
    // 4.90333 and az = g tan 30 sin 30 = 2.83094; gravity adds -g sin 30 on y
    // and g cos 30 on z: nothing sideways, g / cos 30 = 11.32375 down through
    // the seat. Then parked nose up 10 degrees: g sin 10 = 1.70293 forward.
    const cli::TelemetryFile turn = cli::loadTelemetryFile(
        writeFile("turn.csv", "time,ax,ay,az,roll,pitch,roll_rate,pitch_rate,yaw_rate\n"
                              "0,0,4.903325,2.830937,30,0,0,2.7,4.7\n"
                              "1,0,0,0,0,10,0,0,0\n"));
    EXPECT_NEAR(turn.samples[0].force[0], 0, 1e-12);
    EXPECT_NEAR(turn.samples[0].force[1], 0, 1e-6);
    EXPECT_NEAR(turn.samples[0].force[2], kG / std::cos(3.141592653589793 / 6), 1e-5);
    EXPECT_NEAR(turn.samples[1].force[0], kG * std::sin(3.141592653589793 / 18), 1e-12);
    EXPECT_NEAR(turn.samples[1].force[2], kG * std::cos(3.141592653589793 / 18), 1e-12);
}

TEST(TelemetryFile, RecordingGivesItsInputsAndNeverTakesTheSeatPostureForAttitude) {
    // A recording of the motion component: its pitch and roll are the seat's
    // (beside a height), and a row of a posture the game sent itself has no inputs.
    const cli::TelemetryFile file = cli::loadTelemetryFile(
        writeFile("recording-in.csv", "time,ax,ay,az,roll_rate,pitch_rate,yaw_rate,pitch,roll,yaw,height\n"
                                      "0.5,1,2,3,4,5,6,10,-10,3,0.4\n"
                                      "0.6,,,,,,,3,-2,-5,0.6\n"
                                      "0.7,1,2,3,4,5,6,10,-10,3,0.4\n"));
    ASSERT_EQ(file.samples.size(), 2u) << "the posture row is skipped";
    expectNear(file.samples[0].force, {1, 2, 3 + kG}, "level: the seat's tilt is not the vehicle's");
    expectNear(file.samples[1].rates, {4, 5, 6}, "rates");
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
    EXPECT_NE(message("half.csv", "time,fx,fy,roll_rate,pitch_rate,yaw_rate\n0,0,0,0,0,0\n")
                  .find("half.csv:1: the header lacks the column 'fz'"),
              std::string::npos);
    EXPECT_NE(message("none.csv", "time,roll_rate,pitch_rate,yaw_rate\n0,0,0,0\n")
                  .find("none.csv:1: the header has neither fx,fy,fz (specific force) nor ax,ay,az"),
              std::string::npos);
    EXPECT_NE(message("roll-only.csv", header.substr(0, header.size() - 1) + ",roll\n0,0,0,0,0,0,0,5\n")
                  .find("roll-only.csv:1: the attitude needs both roll and pitch; the header has only roll"),
              std::string::npos);
    EXPECT_NE(message("half-row.csv", header + "0,1,,3,0,0,0\n").find("half-row.csv:2: ay '' is not a number"),
              std::string::npos);
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
    const std::string typo = motionFileMessage("typo.csv", "time,pitch,roll,yaw,height,Wnd\n0,0,0,0,0.5,1\n");
    EXPECT_NE(typo.find("typo.csv:1: unknown column 'Wnd': a motion file has time, pitch, roll, yaw, height and may "
                        "have wind, mist, scent, heater"),
              std::string::npos)
        << typo;
}

// Files as spreadsheets and other programs save them, each read to the same
// two rows: time 0 and 0.5, pitch 1.5 and -2, height 0.5 and 0.25, wind 2.
struct SpreadsheetCase {
    const char* name;
    const char* text;
};

class SpreadsheetFile : public ::testing::TestWithParam<SpreadsheetCase> {};

TEST_P(SpreadsheetFile, IsReadAsItsAuthorMeantIt) {
    const cli::MotionFile file = cli::loadMotionFile(writeFile(std::string(GetParam().name) + ".csv", GetParam().text));
    ASSERT_EQ(file.samples.size(), 2u);
    EXPECT_EQ(file.samples[1].time, 0.5);
    EXPECT_EQ(file.samples[0].pitch, 1.5f);
    EXPECT_EQ(file.samples[1].pitch, -2.0f);
    EXPECT_EQ(file.samples[1].height, 0.25f);
    ASSERT_EQ(file.effects.size(), 1u);
    EXPECT_EQ(file.effects[0].name, "wind");
    EXPECT_EQ(file.effects[0].levels[1], 2);
}

INSTANTIATE_TEST_SUITE_P(
    Accepted, SpreadsheetFile,
    ::testing::Values(
        SpreadsheetCase{"ByteOrderMark", "\xEF\xBB\xBFtime,pitch,roll,yaw,height,wind\n0,1.5,0,0,0.5,2\n0.5,-2,0,0,0.25,2\n"},
        SpreadsheetCase{"MarkBeforeAComment", "\xEF\xBB\xBF# exported\ntime,pitch,roll,yaw,height,wind\n0,1.5,0,0,0.5,2\n"
                                              "0.5,-2,0,0,0.25,2\n"},
        SpreadsheetCase{"Semicolons", "time;pitch;roll;yaw;height;wind\r\n0;1.5;0;0;0.5;2\r\n0.5;-2;0;0;0.25;2\r\n"},
        SpreadsheetCase{"Tabs", "time\tpitch\troll\tyaw\theight\twind\n0\t1.5\t0\t0\t0.5\t2\n0.5\t-2\t0\t0\t0.25\t2\n"},
        SpreadsheetCase{"CapitalisedNames", "Time,Pitch,ROLL,Yaw,Height,Wind\n0,1.5,0,0,0.5,2\n0.5,-2,0,0,0.25,2\n"},
        SpreadsheetCase{"QuotedCells", "\"time\",\"pitch\",\"roll\",\"yaw\",\"height\",\"wind\"\n\"0\",\"1.5\",0,0,0.5,2\n"
                                       "0.5, \"-2\" ,0,0,0.25,\"2\"\n"},
        SpreadsheetCase{"AllAtOnce", "\xEF\xBB\xBF\"Time\";\"Pitch\";\"Roll\";\"Yaw\";\"Height\";\"Wind\"\r\n"
                                     "0;1.5;0;0;0.5;2\r\n0.5;-2;0;0;0.25;2\r\n"}),
    [](const ::testing::TestParamInfo<SpreadsheetCase>& test) { return std::string(test.param.name); });

// Files that cannot be read as they stand: the complaint says what to change,
// and one about the header shows the columns it found.
struct RefusedCase {
    const char* name;
    const char* text;
    const char* says;
};

class RefusedFile : public ::testing::TestWithParam<RefusedCase> {};

TEST_P(RefusedFile, SaysWhatToChange) {
    const std::string message = motionFileMessage(std::string(GetParam().name) + ".csv", GetParam().text);
    EXPECT_NE(message.find(GetParam().says), std::string::npos) << message;
}

INSTANTIATE_TEST_SUITE_P(
    Refused, RefusedFile,
    ::testing::Values(
        RefusedCase{"OtherNames", "Zeit,Nick,Roll,Gier,Hoehe\n0,0,0,0,0.5\n",
                    "OtherNames.csv:1: the header lacks the column 'time': it has the columns 'Zeit', 'Nick', 'Roll', "
                    "'Gier', 'Hoehe'"},
        RefusedCase{"Spaces", "time pitch roll yaw height\n0 0 0 0 0.5\n",
                    "lacks the column 'time': it has one column, 'time pitch roll yaw height' (separate the names with "
                    "commas)"},
        RefusedCase{"NoHeader", "0,0,0,0,0.5\n0.1,1,0,0,0.5\n",
                    "NoHeader.csv:1: the first line holds numbers, not column names: start the file with the header "
                    "time,pitch,roll,yaw,height"},
        RefusedCase{"DecimalCommas", "time;pitch;roll;yaw;height\n0;1,5;0;0;0,5\n",
                    "DecimalCommas.csv:2: pitch '1,5' is not a number: write a decimal point (1.5)"},
        RefusedCase{"DecimalCommasUnquoted", "time,pitch,roll,yaw,height\n0,1,5,0,0,0,5\n",
                    "expected 5 values, found 7 (a decimal comma splits a value in two: write 0.5, not 0,5)"},
        RefusedCase{"Utf16", "\xFF\xFEt", "Utf16.csv:1: the file is UTF-16 text: save it as UTF-8"},
        RefusedCase{"SameNameTwice", "time,pitch,roll,yaw,height,Time\n0,0,0,0,0.5,0\n",
                    "column 'time' twice ('time' and 'Time')"}),
    [](const ::testing::TestParamInfo<RefusedCase>& test) { return std::string(test.param.name); });

TEST(CsvReader, TellsHowFarItHasReadAndEndsAtTheFileSize) {
    std::string text = "time,pitch,roll,yaw,height\n";
    for (int i = 0; i < 20000; ++i) text += std::to_string(i) + ",1,2,3,0.5\n";
    const std::string path = writeFile("long.csv", text);
    std::vector<std::uint64_t> reports;
    std::uint64_t size = 0;
    const cli::MotionFile file = cli::loadMotionFile(path, [&](std::uint64_t read, std::uint64_t total) {
        reports.push_back(read);
        size = total;
    });
    EXPECT_EQ(file.samples.size(), 20000u);
    EXPECT_EQ(size, text.size());
    ASSERT_GE(reports.size(), 3u) << "now and then, and at the end";
    EXPECT_TRUE(std::is_sorted(reports.begin(), reports.end()));
    EXPECT_EQ(reports.back(), text.size());
}

} // namespace
} // namespace karvel::tools::test
