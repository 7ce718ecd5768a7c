// `karvel tune` as a user runs it: on the shipped example telemetry and on a
// recording of the motion component it writes a self-contained report whose
// numbers are those of the benchmark's model (cueing/evaluation) on the same
// input; bad input ends it with status 2 and a message naming the fault. It
// needs no seat and no library.
#include <gtest/gtest.h>

#include <fstream>
#include <regex>
#include <sstream>
#include <sys/stat.h>

#include "ChildProcess.h"
#include "CliFixture.h"
#include "CueEvaluation.h"
#include "MotionCueing.h"
#include "TelemetryFile.h"

namespace karvel::tools::test {
namespace {

namespace eval = KarvelCueEvaluation;

constexpr std::chrono::milliseconds kTuneLimit{60000};

std::string outDir(const std::string& name) {
    const std::string dir = ::testing::TempDir() + name;
    mkdir(dir.c_str(), 0755);
    return dir;
}

RunResult tune(const std::vector<std::string>& words) {
    // A library path that does not exist: tune must not need one.
    std::vector<std::string> line = {cliPath(), "--library", "/nonexistent/libKarvel.so", "tune"};
    line.insert(line.end(), words.begin(), words.end());
    return runToEnd(line, kTuneLimit);
}

std::string readAll(const std::string& path) {
    std::ifstream in(path);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

// The benchmark's model on the same file: the core with the profile, from an
// Orvida's home, judged on what a rider perceives.
eval::Evaluation expectedFor(const std::string& path, const KarvelCueing::CueingProfile& profile) {
    KarvelCueing::MotionCueing core(profile);
    core.SetHome(eval::HomeOf(KarvelSeat::OrvidaSeat));
    const eval::Ride ride = cli::rideOf(cli::loadTelemetryFile(path), 100, "expected");
    return eval::Evaluate(ride, eval::CueWith(core), eval::GeometryFor(profile, KarvelSeat::OrvidaSeat));
}

void expectSummaryMatches(const std::string& output, const eval::Evaluation& expected) {
    for (int c = 0; c < eval::ChannelCount; ++c) {
        SCOPED_TRACE(eval::ChannelName(c));
        std::smatch m;
        const std::regex row(std::string("\n  ") + eval::ChannelName(c) +
                             " +([0-9.]+) +(-?[0-9.]+) +(-|-?[0-9.]+ s) +([0-9.]+) s");
        ASSERT_TRUE(std::regex_search(output, m, row)) << output;
        const eval::ChannelMeasures& e = expected.Measures[c];
        EXPECT_NEAR(std::stod(m[1]), e.Nrmse, 0.0005 + 1e-9);
        EXPECT_NEAR(std::stod(m[2]), e.Correlation, 0.005 + 1e-9);
        EXPECT_EQ(m[3] == "-", !e.HasLag);
        if (e.HasLag) {
            EXPECT_NEAR(std::stod(m[3]), e.LagSeconds, 0.005 + 1e-9);
        }
        EXPECT_NEAR(std::stod(m[4]), e.FalseCueSeconds, 0.05 + 1e-9);
    }
    std::smatch mean;
    ASSERT_TRUE(std::regex_search(output, mean, std::regex("mean nRMSE ([0-9.]+)"))) << output;
    EXPECT_NEAR(std::stod(mean[1]), expected.MeanNrmse(), 0.0005 + 1e-9);
}

void expectSelfContainedReport(const std::string& path, const std::string& profile) {
    const std::string html = readAll(path);
    ASSERT_FALSE(html.empty()) << path;
    EXPECT_EQ(html.rfind("<!DOCTYPE html>", 0), 0u);
    EXPECT_NE(html.find("Profile <code>" + profile + "</code>"), std::string::npos);
    for (const char* channel : {"surge", "sway", "heave", "roll", "pitch", "yaw"})
        EXPECT_NE(html.find(std::string("<h3>") + channel), std::string::npos) << channel;
    std::size_t plots = 0;
    for (std::size_t at = html.find("<svg"); at != std::string::npos; at = html.find("<svg", at + 1)) ++plots;
    EXPECT_EQ(plots, 10u) << "six channels and four posture axes";
    // Nothing is fetched: no script, no external style, image or link.
    for (const char* outside : {"<script", "src=", "href=", "@import", "url("})
        EXPECT_EQ(html.find(outside), std::string::npos) << outside;
    EXPECT_NE(html.rfind("</html>"), std::string::npos) << "written whole";
}

TEST(KarvelTune, ShippedExamplesGiveAReportWithTheBenchmarksNumbers) {
    struct Case {
        const char* file;
        const char* profile;
        const char* report;
    };
    for (const Case& c : {Case{"drive-telemetry.csv", "road", "drive-telemetry-road.html"},
                          Case{"flight-telemetry.csv", "flight", "flight-telemetry-flight.html"}}) {
        SCOPED_TRACE(c.file);
        const std::string dir = outDir("tune-examples");
        const RunResult run = tune({motionFile(c.file), "--profile", c.profile, "--out", dir});
        ASSERT_EQ(run.status, 0) << run.output;
        EXPECT_NE(run.output.find(std::string("tune: report written to ") + dir + "/" + c.report), std::string::npos)
            << run.output;
        expectSummaryMatches(run.output, expectedFor(motionFile(c.file), *KarvelCueing::FindPresetProfile(c.profile)));
        expectSelfContainedReport(dir + "/" + c.report, c.profile);
    }
}

TEST(KarvelTune, ARecordingOfTheComponentIsJudgedOnItsVehicleMotion) {
    // What the component writes: cued rows and rows of postures the game sent
    // itself (no inputs), here a car braking at 4 m/s^2 from 2 s to 4 s.
    const std::string path = ::testing::TempDir() + "tune-recording.csv";
    KarvelCueing::CueRecorder recorder;
    std::string error;
    ASSERT_TRUE(recorder.Open(path, error)) << error;
    for (int i = 0; i <= 600; ++i) {
        const double t = i / 100.0;
        KarvelCueing::VehicleMotion braking;
        braking.SpecificForce.X = t >= 2 && t < 4 ? -4.0 : 0.0;
        if (i % 50 == 25) recorder.WritePosture(t, KarvelCueing::SeatPose{});
        else recorder.WriteCued(t, braking, {braking.SpecificForce.X, 0, 0}, KarvelCueing::SeatPose{});
    }
    recorder.Close();

    const std::string dir = outDir("tune-recording");
    const RunResult run = tune({path, "--out", dir});
    ASSERT_EQ(run.status, 0) << run.output;
    expectSummaryMatches(run.output, expectedFor(path, KarvelCueing::RoadVehicleProfile()));
    expectSelfContainedReport(dir + "/tune-recording-road.html", "road");
}

TEST(KarvelTune, BadInputIsNamedAndEndsWithStatusTwo) {
    const std::string dir = outDir("tune-bad");
    const std::string header = "time,fx,fy,fz,roll_rate,pitch_rate,yaw_rate\n";
    struct Case {
        std::vector<std::string> words;
        std::string message;
    };
    const Case cases[] = {
        {{"/nonexistent/ride.csv"}, "cannot open the telemetry file /nonexistent/ride.csv"},
        {{writeFile("tune-cell.csv", header + "0,0,0,9.8,0,0,0\n0.1,0,zero,9.8,0,0,0\n")},
         "tune-cell.csv:3: fy 'zero' is not a number"},
        {{writeFile("tune-columns.csv", "time,roll_rate,pitch_rate,yaw_rate\n0,0,0,0\n")},
         "the header has neither fx,fy,fz (specific force) nor ax,ay,az"},
        {{motionFile("drive-telemetry.csv"), "--profile", "sporty"}, "unknown profile 'sporty'"},
        {{motionFile("drive-telemetry.csv"), "--profile", writeFile("tune-wild.profile", "TiltLimit = 40\n")},
         "line 1: TiltLimit = 40 is outside its range"},
        {{motionFile("drive-telemetry.csv"), "--out", "/nonexistent/folder"},
         "cannot write the report /nonexistent/folder/drive-telemetry-road.html"},
        {{motionFile("drive-telemetry.csv"), "--model", "throne"}, "unknown seat model 'throne'"},
    };
    for (const Case& c : cases) {
        std::vector<std::string> words = c.words;
        if (words.size() == 1 || words[1] != "--out") words.insert(words.end(), {"--out", dir});
        const RunResult run = tune(words);
        EXPECT_EQ(run.status, 2) << run.output;
        EXPECT_EQ(run.output.rfind("karvel: ", 0), 0u) << run.output;
        EXPECT_NE(run.output.find(c.message), std::string::npos) << run.output;
    }
    EXPECT_EQ(readAll(dir + "/drive-telemetry-road.html"), "") << "no report for a refused profile or seat";
}

} // namespace
} // namespace karvel::tools::test
