// The karvel command-line host as a user runs it: bad input is named and
// ends with a non-zero status; replay holds its rate and every frame arrives.
// How every ending leaves the seat: HostEndingTest.cpp.
#include <gtest/gtest.h>

#include <cstdio>

#include "CliFixture.h"

namespace karvel::tools::test {
namespace {

TEST_F(KarvelCli, BadInputIsNamedAndEndsWithStatusTwo) {
    const std::string script = writeFile("bad.txt", "posture 1 2 3 0.5\n# a comment\nfly 3\nhome\n");
    RunResult unknown = runToEnd(command({"run", "--script", script}), kRunLimit);
    EXPECT_EQ(unknown.status, 2);
    EXPECT_NE(unknown.output.find("bad.txt:3: unknown command 'fly'"), std::string::npos) << unknown.output;
    EXPECT_GT(framesReported(unknown.output), 0u) << "stopped at line 3, homed\n" << unknown.output;

    const std::string endpoint = writeFile("endpoint.txt", "udp-endpoint 127.0.0.300:7408\n");
    RunResult address = runToEnd(command({"run", "--script", endpoint}), kRunLimit);
    EXPECT_EQ(address.status, 2);
    EXPECT_NE(address.output.find(":1: bad address '127.0.0.300:7408'"), std::string::npos) << address.output;

    RunResult option = runToEnd({cliPath(), "run", "--udp", "localhost:7408"}, kRunLimit);
    EXPECT_EQ(option.status, 2);
    EXPECT_NE(option.output.find("bad address for --udp 'localhost:7408'"), std::string::npos) << option.output;

    RunResult missing = runToEnd(command({"replay", "/nonexistent/motion.csv"}), kRunLimit);
    EXPECT_EQ(missing.status, 2);
    EXPECT_NE(missing.output.find("cannot open the motion file /nonexistent/motion.csv"), std::string::npos);

    const std::string csv = writeFile("bad.csv", "time,pitch,roll,yaw,height\n0,0,0,0,0.5\n\n0.1,1,x,0,0.5\n");
    RunResult malformed = runToEnd(command({"replay", csv}), kRunLimit);
    EXPECT_EQ(malformed.status, 2);
    EXPECT_NE(malformed.output.find("bad.csv:4: roll 'x' is not a number"), std::string::npos) << malformed.output;

    const std::string shortRow = writeFile("short.csv", "time,pitch,roll,yaw,height,wind\n0,0,0,0,0.5\n");
    RunResult columns = runToEnd(command({"replay", shortRow}), kRunLimit);
    EXPECT_EQ(columns.status, 2);
    EXPECT_NE(columns.output.find("short.csv:2: expected 6 values, found 5"), std::string::npos) << columns.output;

    EXPECT_NE(runToEnd(command({"teleport"}), kRunLimit).status, 0);
    EXPECT_EQ(seat_.snapshot().motion.malformed(), 0u);
}

TEST_F(KarvelCli, ReplayOfTheShippedDriveHoldsItsRateAndEveryFrameArrives) {
    const auto started = std::chrono::steady_clock::now();
    RunResult result = runToEnd(command({"replay", motionFile("country-road.csv"), "--rate", "100"}), kRunLimit);
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
    ASSERT_EQ(result.status, 0) << result.output;
    std::printf("%s", result.output.c_str()); // the late-frame count stays in the test log
    EXPECT_NE(result.output.find("601 of 601 postures streamed"), std::string::npos) << result.output;
    // Only the lower bound is physics; how much longer a loaded machine takes
    // is the run limit's business, not this test's.
    EXPECT_GT(seconds, 5.5) << "6 s of motion at 100 Hz cannot be sent faster";
    EXPECT_NE(result.output.find("replay: parked in"), std::string::npos) << result.output;
    const std::uint64_t sent = framesReported(result.output);
    EXPECT_GT(sent, 602u) << "601 postures, the park and the home frame";
    const sim::SimSnapshot s = seat_.waitFor([&](const sim::SimSnapshot& x) { return x.motion.frames >= sent; }, kDeadline);
    EXPECT_EQ(s.motion.frames, sent);
    EXPECT_EQ(s.motion.malformed(), 0u);
}

TEST_F(KarvelCli, VersionNamesTheLibrary) {
    RunResult result = runToEnd(command({"version"}), kRunLimit);
    EXPECT_EQ(result.status, 0);
    EXPECT_NE(result.output.find("Karvel-PC v"), std::string::npos) << result.output;
}

} // namespace
} // namespace karvel::tools::test
