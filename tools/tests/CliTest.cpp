// The karvel command-line host as a user runs it: bad input is named and
// ends with a non-zero status; replay holds its rate, says how far it is and
// every frame arrives; the library's INFO lines only when asked for, the
// cause of a refused configuration named, help and a prompt in `run`, and
// an operator's log file. How every ending leaves the seat:
// HostEndingTest.cpp; the command line without a seat: HostCommandLineTest.cpp.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <regex>
#include <sstream>

#include "CliFixture.h"
#include "TerminalRun.h"
#include "support/UdpReceiver.h"

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
    // Not a terminal: a line every five seconds says how far it is.
    EXPECT_TRUE(std::regex_search(result.output, std::regex("replay: +[0-9]+% 0:0[5-9] elapsed, 0:0[0-9] left, "
                                                            "[0-9]+/601 frames, [0-9]+ late\n")))
        << result.output;
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

std::string readText(const std::string& path) {
    std::ifstream file(path);
    std::stringstream text;
    text << file.rdbuf();
    return text.str();
}

// A short ride of `run`: a second at a posture, with wind.
std::string shortRide() { return writeFile("short-ride.txt", "posture 4 0 10 0.6\nwind 1\nwait 1\n"); }

TEST_F(KarvelCli, TheLibrarysInfoLinesOnlyWhenAskedForWhereverTheLevelIsGiven) {
    RunResult quiet = runToEnd(command({"run", "--script", shortRide()}, ""), kRunLimit);
    ASSERT_EQ(quiet.status, 0) << quiet.output;
    EXPECT_EQ(quiet.output.find("library:"), std::string::npos) << "errors only, by default\n" << quiet.output;

    // After the command and its options, as a user adds it when a run goes wrong.
    RunResult told = runToEnd(command({"run", "--script", shortRide(), "--log-level", "info"}, ""), kRunLimit);
    ASSERT_EQ(told.status, 0) << told.output;
    EXPECT_NE(told.output.find("library: [Ridova][INFO] [UDP TX] socket-send-ok"), std::string::npos) << told.output;

    const std::uint64_t sent = framesReported(quiet.output) + framesReported(told.output);
    const sim::SimSnapshot s = seat_.waitFor([&](const sim::SimSnapshot& x) { return x.motion.frames >= sent; }, kDeadline);
    EXPECT_EQ(s.motion.frames, sent);
    EXPECT_EQ(s.motion.rates.flagged, 0u) << s.motion.rates.lastFlag;
}

struct RefusalCase {
    const char* name;
    const char* motion; // --udp
    bool holdPort;      // another program holds UDP port 8410
    const char* cause;
    const char* hint;   // after the cause
};

class KarvelRefusal : public KarvelCli, public ::testing::WithParamInterface<RefusalCase> {};

TEST_P(KarvelRefusal, NamesTheCauseTheLibraryGave) {
    const RefusalCase& refusal = GetParam();
    std::unique_ptr<karvel::test::PortHolder> holder;
    if (refusal.holdPort) {
        holder = std::make_unique<karvel::test::PortHolder>(8410);
        ASSERT_TRUE(holder->bound());
    }
    std::vector<std::string> line = command({"demo", "--seconds", "1"});
    std::replace_if(line.begin(), line.end(), [](const std::string& word) { return word.rfind("--udp=", 0) == 0; },
                    std::string("--udp=") + refusal.motion);
    RunResult result = runToEnd(line, kRunLimit);
    EXPECT_EQ(result.status, 1) << result.output;
    EXPECT_NE(result.output.find(std::string("karvel: the library refused the seat configuration: ") + refusal.cause),
              std::string::npos)
        << result.output;
    EXPECT_NE(result.output.find(refusal.hint), std::string::npos) << result.output;
    if (!refusal.holdPort) {
        EXPECT_EQ(result.output.find("8410"), std::string::npos) << "not the port's fault\n" << result.output;
    }
    EXPECT_EQ(seat_.snapshot().motion.frames, 0u);
}

INSTANTIATE_TEST_SUITE_P(
    Refusals, KarvelRefusal,
    ::testing::Values(RefusalCase{"Broadcast", "255.255.255.255:7408", false,
                                  "UDPTransportLayer unusable destination IP: 255.255.255.255 (broadcast)", ""},
                      RefusalCase{"Multicast", "239.1.2.3:7408", false,
                                  "UDPTransportLayer unusable destination IP: 239.1.2.3 (multicast)", ""},
                      RefusalCase{"PortHeld", "127.0.0.1:7408", true,
                                  "UDPTransportLayer bind failed on fixed source port 8410: ",
                                  "(is UDP port 8410 free? another program may hold it)"}),
    [](const ::testing::TestParamInfo<RefusalCase>& test) { return std::string(test.param.name); });

TEST_F(KarvelCli, RunAnswersHelpInAScript) {
    const std::string script = writeFile("help.txt", "help\nfly\n");
    RunResult result = runToEnd(command({"run", "--script", script}), kRunLimit);
    EXPECT_EQ(result.status, 2) << "the unknown command ends a script";
    EXPECT_NE(result.output.find("  posture PITCH ROLL YAW HEIGHT"), std::string::npos) << result.output;
    EXPECT_NE(result.output.find("  quit "), std::string::npos) << result.output;
    EXPECT_NE(result.output.find("help.txt:2: unknown command 'fly' (help lists the commands)"), std::string::npos)
        << result.output;
    expectEveryFrameWithinTheEnvelopeAndHome(result.output);
}

// On a terminal: a prompt, help, a mistake that does not end the run, a posture, quit.
TEST_F(KarvelCli, RunPromptsOnATerminalAndGoesOnAfterAMistake) {
    constexpr int kColumns = 120;
    const TerminalResult typed = runInTerminal(command({"run"}), kColumns, kRunLimit,
                                               "help\nfly\nposture 3 0 0 0.5\nwait 0.5\nquit\n", "karvel> ");
    ASSERT_EQ(typed.status, 2) << typed.raw;
    const std::vector<std::string> rows = terminalRows(typed.raw, kColumns);
    const auto rowsWith = [&](const std::string& text) {
        return std::count_if(rows.begin(), rows.end(),
                             [&](const std::string& row) { return row.find(text) != std::string::npos; });
    };
    EXPECT_EQ(rowsWith("type help for the commands, quit to end"), 1) << typed.raw;
    EXPECT_GE(rowsWith("karvel> help"), 1) << "the prompt, and the user's word echoed after it\n" << typed.raw;
    EXPECT_EQ(rowsWith("  heater on|off"), 1) << typed.raw;
    EXPECT_EQ(rowsWith("stdin:2: unknown command 'fly'"), 1) << typed.raw;
    EXPECT_EQ(rowsWith("run: parked in"), 1) << typed.raw;
    EXPECT_GT(seat_.snapshot().motion.rates.peak.pitch, 1.0) << "the posture after the mistake was run";
    expectEveryFrameWithinTheEnvelopeAndHome(typed.raw);
}

TEST_F(KarvelCli, LogFileKeepsEveryRunWithTimeStamps) {
    const std::string log = ::testing::TempDir() + "operator.log";
    std::remove(log.c_str());
    for (int i = 0; i < 2; ++i) {
        RunResult ride = runToEnd(command({"run", "--script", shortRide(), "--log-file", log}, ""), kRunLimit);
        ASSERT_EQ(ride.status, 0) << ride.output;
        EXPECT_EQ(ride.output.find("library:"), std::string::npos) << "the screen keeps to errors\n" << ride.output;
        EXPECT_EQ(ride.output.find("guard:"), std::string::npos) << "the guard's start is not an error\n" << ride.output;
    }
    RunResult bad = runToEnd({cliPath(), "--log-file", log, "--library", karvel::test::libraryPath(), "replay",
                              writeFile("nothing.csv", "Zeit,Nick\n")},
                             kRunLimit);
    EXPECT_EQ(bad.status, 2);

    const std::string text = readText(log);
    std::istringstream lines(text);
    const std::regex stamped("[0-9]{4}-[0-9]{2}-[0-9]{2} [0-9]{2}:[0-9]{2}:[0-9]{2}\\.[0-9]{3} .*");
    int count = 0;
    for (std::string line; std::getline(lines, line); ++count) EXPECT_TRUE(std::regex_match(line, stamped)) << line;
    EXPECT_GT(count, 20);
    const auto occurrences = [&](const std::string& what) {
        std::size_t n = 0;
        for (std::size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) ++n;
        return n;
    };
    EXPECT_EQ(occurrences(" karvel started: "), 3u) << text;
    EXPECT_EQ(occurrences(" karvel ended with status 0"), 2u) << text;
    EXPECT_EQ(occurrences(" karvel ended with status 2"), 1u) << text;
    EXPECT_EQ(occurrences("library: [Ridova][INFO] setConfiguration called"), 2u) << text;
    EXPECT_GE(occurrences("library: [Ridova][INFO] [UDP TX] socket-send-ok"), 2u) << text;
    EXPECT_EQ(occurrences(" run: parked in "), 2u) << text;
    EXPECT_EQ(occurrences(" karvel: guard: the guard started (process "), 2u) << text;
    EXPECT_EQ(occurrences(" given way, effects off"), 2u) << text;
    EXPECT_EQ(occurrences("the header lacks the column 'time'"), 1u) << text;
    EXPECT_EQ(text.find("[DEBUG]"), std::string::npos) << "DEBUG lines only when shown";
}

} // namespace
} // namespace karvel::tools::test
