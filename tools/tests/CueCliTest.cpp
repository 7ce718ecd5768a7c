// `karvel cue` and the replay of cueing recordings against the virtual seat:
// the example telemetry moves the rider the way the vehicle moves (pressed
// back when pulling away, outward in a right-hand bend, forward when
// braking), every frame arrives and stays within the envelope, and the ride
// ends in a soft park, then home with the effects off (every other ending:
// HostEndingTest.cpp).
#include <gtest/gtest.h>

#include <algorithm>
#include <regex>

#include "CliFixture.h"
#include "CrashRide.h"
#include "MotionCueing.h"
#include "TerminalRun.h"

namespace karvel::tools::test {
namespace {

class KarvelCue : public KarvelCli {
protected:
    sim::SimSnapshot waitForPosture(const std::function<bool(const sim::DecodedPosture&)>& condition) {
        return seat_.waitFor([&](const sim::SimSnapshot& s) { return condition(s.motion.posture); }, kRunLimit);
    }
};

TEST_F(KarvelCue, ExampleDriveMovesTheRiderAsTheCarMovesAndParksAtHome) {
    ChildProcess host(command({"cue", motionFile("drive-telemetry.csv")}));
    // Pulling away (1..5 s): pressed back, the front of the seat up.
    EXPECT_GT(waitForPosture([](const sim::DecodedPosture& p) { return p.pitch > 1; }).motion.posture.pitch, 1);
    // The right-hand bend (6.5..12 s): pushed outward, the left side down.
    EXPECT_LT(waitForPosture([](const sim::DecodedPosture& p) { return p.roll < -1; }).motion.posture.roll, -1);
    // Braking (12.5..14.6 s): tipped forward.
    EXPECT_LT(waitForPosture([](const sim::DecodedPosture& p) { return p.pitch < -1; }).motion.posture.pitch, -1);
    ASSERT_EQ(host.wait(kRunLimit), 0) << host.output();
    const std::string output = host.output();
    EXPECT_NE(output.find("cue: 1601 of 1601 postures streamed"), std::string::npos) << "16 s at 100 Hz\n" << output;
    EXPECT_NE(output.find("cue: profile road; parked in"), std::string::npos) << output;
    expectEveryFrameWithinTheEnvelopeAndHome(output);
}

TEST_F(KarvelCue, ExampleFlightWithTheFlightProfileStaysWithinTheEnvelope) {
    RunResult result = runToEnd(command({"cue", motionFile("flight-telemetry.csv"), "--profile", "flight"}), kRunLimit);
    ASSERT_EQ(result.status, 0) << result.output;
    // The last row is at 11.9867 s: frames at 0, 0.01, ... 11.98.
    EXPECT_NE(result.output.find("cue: 1199 of 1199 postures streamed"), std::string::npos) << result.output;
    EXPECT_NE(result.output.find("cue: profile flight; parked in"), std::string::npos) << result.output;
    EXPECT_GT(seat_.snapshot().motion.rates.peak.roll, 1.0) << "the bank moved the seat";
    expectEveryFrameWithinTheEnvelopeAndHome(result.output);
}

// A crash through every preset: the seat takes every posture as sent (no
// support axis against the end of its stroke), so the virtual seat flags no
// frame beyond the envelope.
TEST_F(KarvelCue, ACrashWithEveryPresetStaysWithinTheEnvelope) {
    std::string rows = "time,fx,fy,fz,roll_rate,pitch_rate,yaw_rate\n";
    for (int i = 0; i * 0.02 <= KarvelCueingTest::kCrashRideSeconds; ++i) {
        const KarvelCueing::VehicleMotion m = KarvelCueingTest::CrashRideAt(i * 0.02);
        std::string line;
        for (const double value : {i * 0.02, m.SpecificForce.X, m.SpecificForce.Y, m.SpecificForce.Z,
                                   m.AngularVelocity.X, m.AngularVelocity.Y, m.AngularVelocity.Z})
            line += (line.empty() ? "" : ",") + std::to_string(value);
        rows += line + "\n";
    }
    const std::string crash = writeFile("crash-telemetry.csv", rows);
    std::uint64_t before = 0;
    for (const std::string& preset : KarvelCueing::PresetProfileNames()) {
        SCOPED_TRACE(preset);
        RunResult result = runToEnd(command({"cue", crash, "--profile", preset}), kRunLimit);
        ASSERT_EQ(result.status, 0) << result.output;
        expectEveryFrameWithinTheEnvelopeAndHome(result.output, before);
        before += framesReported(result.output);
    }
    EXPECT_GT(seat_.snapshot().motion.rates.peak.roll, 5.0) << "the crash moved the seat";
}

TEST_F(KarvelCue, BadTelemetryOrProfileIsNamedAndEndsWithStatusTwo) {
    const std::string header = "time,ax,ay,az,roll_rate,pitch_rate,yaw_rate\n";
    const std::string bad = writeFile("bad-telemetry.csv", header + "0,0,0,0,0,0,0\n# fine\n0.1,0,0,1e999,0,0,0\n");
    RunResult cell = runToEnd(command({"cue", bad}), kRunLimit);
    EXPECT_EQ(cell.status, 2);
    EXPECT_NE(cell.output.find("bad-telemetry.csv:4: az '1e999' is not a number"), std::string::npos) << cell.output;

    const std::string back = writeFile("backwards.csv", header + "0.2,0,0,0,0,0,0\n0.1,0,0,0,0,0,0\n");
    RunResult order = runToEnd(command({"cue", back}), kRunLimit);
    EXPECT_EQ(order.status, 2);
    EXPECT_NE(order.output.find("backwards.csv:3: time goes backwards"), std::string::npos) << order.output;

    const std::string missing = writeFile("no-yaw.csv", "time,ax,ay,az,roll_rate,pitch_rate\n0,0,0,0,0,0\n");
    RunResult column = runToEnd(command({"cue", missing}), kRunLimit);
    EXPECT_EQ(column.status, 2);
    EXPECT_NE(column.output.find("no-yaw.csv:1: the header lacks the column 'yaw_rate'"), std::string::npos)
        << column.output;

    RunResult preset = runToEnd(command({"cue", motionFile("drive-telemetry.csv"), "--profile", "sporty"}), kRunLimit);
    EXPECT_EQ(preset.status, 2);
    EXPECT_NE(preset.output.find("unknown profile 'sporty'"), std::string::npos) << preset.output;

    const std::string profile = writeFile("wild.profile", "# too much tilt\npreset = gentle\nTiltLimit = 40\n");
    RunResult range = runToEnd(command({"cue", motionFile("drive-telemetry.csv"), "--profile", profile}), kRunLimit);
    EXPECT_EQ(range.status, 2);
    EXPECT_NE(range.output.find("line 3: TiltLimit"), std::string::npos) << range.output;

    EXPECT_EQ(seat_.snapshot().motion.frames, 0u) << "bad input is found before the seat is registered";
}

TEST_F(KarvelCue, ReplayOfACueingRecordingPlaysItsPostures) {
    // What the component writes: cued rows and rows of postures the game sent
    // itself (empty inputs). Yaw goes 0 -> 10 -> 0 degrees and pitch 0 -> 3 -> 0
    // over 2 s; the inputs would be a wild ride if replay took them.
    const std::string path = ::testing::TempDir() + "recording.csv";
    KarvelCueing::CueRecorder recorder;
    std::string error;
    ASSERT_TRUE(recorder.Open(path, error)) << error;
    for (int i = 0; i <= 20; ++i) {
        const double rise = (i <= 10 ? i : 20 - i) / 10.0;
        KarvelCueing::SeatPose pose;
        pose.Pitch = 3 * rise;
        pose.Yaw = 10 * rise;
        KarvelCueing::VehicleMotion wild;
        wild.SpecificForce = {9, -9, 9};
        wild.AngularVelocity = {400, -400, 400};
        if (i % 2 == 0) recorder.WriteCued(100 + i * 0.1, wild, {9, -9, -0.8}, pose);
        else recorder.WritePosture(100 + i * 0.1, pose);
    }
    recorder.Close();

    RunResult result = runToEnd(command({"replay", path, "--rate", "50"}), kRunLimit);
    ASSERT_EQ(result.status, 0) << result.output;
    EXPECT_NE(result.output.find("replay: 101 of 101 postures streamed"), std::string::npos) << "2 s at 50 Hz\n"
                                                                                      << result.output;
    EXPECT_NE(result.output.find("replay: parked in"), std::string::npos) << result.output;
    const std::uint64_t sent = framesReported(result.output);
    EXPECT_GT(sent, 102u) << "101 postures, the park and the home frame\n" << result.output;
    const sim::SimSnapshot s = seat_.waitFor([&](const sim::SimSnapshot& x) { return x.motion.frames >= sent; }, kDeadline);
    EXPECT_EQ(s.motion.frames, sent);
    // The virtual seat measures rates over the frames' arrival times, which a
    // loaded machine bunches: only the roll, which never moves, is exact.
    EXPECT_NEAR(s.motion.rates.peak.yaw, 10.0, 5.0) << "10 degrees a second";
    EXPECT_NEAR(s.motion.rates.peak.pitch, 3.0, 1.5);
    EXPECT_LT(s.motion.rates.peak.roll, 0.01);
    EXPECT_EQ(s.motion.rates.flagged, 0u) << s.motion.rates.lastFlag;
}

// A posture file that ends away from home, or is cut short, is followed by a
// soft park: no frame moves the seat faster than the envelope allows.
TEST_F(KarvelCue, ReplayParksSoftlyFromWhereTheFileLeavesTheSeat) {
    std::string rows = "time,pitch,roll,yaw,height\n";
    for (int i = 0; i <= 40; ++i) {
        const double rise = std::min(i, 20) / 20.0; // 2 s to the far posture, then held there
        rows += std::to_string(i * 0.1) + "," + std::to_string(6 * rise) + "," + std::to_string(-4 * rise) + "," +
                std::to_string(15 * rise) + "," + std::to_string(0.5 + 0.2 * rise) + "\n";
    }
    const std::string path = writeFile("far.csv", rows);
    RunResult ended = runToEnd(command({"replay", path, "--rate", "50"}), kRunLimit);
    ASSERT_EQ(ended.status, 0) << ended.output;
    EXPECT_NE(ended.output.find("replay: parked in"), std::string::npos) << ended.output;
    expectEveryFrameWithinTheEnvelopeAndHome(ended.output);
}

TEST_F(KarvelCue, LibraryLogLinesGoAboveAProgressBarThatStaysWhole) {
    // Three seconds: the library writes its send line at the first frame and
    // about once a second after it, while the bar is drawn.
    std::string rows = "time,fx,fy,fz,roll_rate,pitch_rate,yaw_rate\n";
    for (int i = 0; i <= 30; ++i) rows += std::to_string(i * 0.1) + ",2,0,0,0,0,0\n";
    const std::string telemetry = writeFile("three-seconds.csv", rows);
    constexpr int kColumns = 100;
    const TerminalResult run = runInTerminal(command({"cue", telemetry}, "info"), kColumns, kRunLimit);
    ASSERT_EQ(run.status, 0) << run.raw;

    int logLines = 0, sendLines = 0, finalBars = 0;
    for (const std::string& row : terminalRows(run.raw, kColumns)) {
        SCOPED_TRACE(row);
        const bool log = row.find("library:") != std::string::npos;
        const bool bar = row.find(" frames, ") != std::string::npos;
        EXPECT_FALSE(log && bar) << "a log line ran into the bar";
        if (log) {
            ++logLines;
            EXPECT_EQ(row.rfind("  library: ", 0), 0u) << "a log line starts its own row";
            if (row.find("[UDP TX] socket-send-ok") != std::string::npos) ++sendLines;
        }
        if (bar) {
            EXPECT_EQ(row.rfind("[", 0), 0u);
            EXPECT_LT(row.size(), static_cast<std::size_t>(kColumns)) << "the bar never wraps";
            EXPECT_TRUE(std::regex_search(row, std::regex("\\] +[0-9]+% 0:0[0-9] elapsed, 0:0[0-3] left, [0-9]+/301 "
                                                          "frames, [0-9]+ late$")));
            if (row.find("100% ") != std::string::npos && row.find(" 0:00 left, 301/301 frames") != std::string::npos)
                ++finalBars;
        }
    }
    EXPECT_GE(sendLines, 2) << run.raw;
    EXPECT_GT(logLines, sendLines);
    EXPECT_EQ(finalBars, 1) << "the finished bar stays on screen, once";
}

} // namespace
} // namespace karvel::tools::test
