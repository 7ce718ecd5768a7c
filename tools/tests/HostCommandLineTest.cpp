// The karvel command line without a seat: every usage error, wherever it is,
// ends with status 2 and says what was wrong; global options are taken after
// the command too; the library is found beside karvel, else on the system's
// search path, and its absence is explained.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>

#include "ChildProcess.h"
#include "CliFixture.h"
#include "support/LoadedKarvel.h"

namespace karvel::tools::test {
namespace {

namespace fs = std::filesystem;

struct UsageCase {
    const char* name;
    std::vector<std::string> words;
    const char* says;
};

class KarvelUsage : public ::testing::TestWithParam<UsageCase> {};

TEST_P(KarvelUsage, EndsWithStatusTwoAndSaysWhatWasWrong) {
    std::vector<std::string> line = {cliPath()};
    line.insert(line.end(), GetParam().words.begin(), GetParam().words.end());
    const RunResult result = runToEnd(line, kRunLimit);
    EXPECT_EQ(result.status, 2) << result.output;
    EXPECT_EQ(result.output.rfind("karvel: ", 0), 0u) << result.output;
    EXPECT_NE(result.output.find(GetParam().says), std::string::npos) << result.output;
}

INSTANTIATE_TEST_SUITE_P(
    Errors, KarvelUsage,
    ::testing::Values(
        UsageCase{"NoCommand", {}, "A subcommand is required (karvel --help lists the commands and options)"},
        UsageCase{"UnknownCommand", {"teleport", "--far"}, "unknown command 'teleport': the commands are version, run"},
        UsageCase{"UnknownOption", {"demo", "--bogus"}, "The following argument was not expected: --bogus"},
        UsageCase{"MissingFile", {"replay"}, "file is required"},
        UsageCase{"RateOutOfRange", {"demo", "--rate", "0"}, "--rate: Value 0 not in range"},
        UsageCase{"MissingValue", {"demo", "--log-level"}, "--log-level"},
        UsageCase{"UnknownLogLevel", {"demo", "--log-level", "loud"}, "unknown log level 'loud'"},
        UsageCase{"BadAddress", {"run", "--udp", "localhost:7408"}, "bad address for --udp 'localhost:7408'"},
        UsageCase{"StopPortWaitOutOfRange", {"stop", "--port-wait", "-1"}, "--port-wait: Value -1 not in range"},
        UsageCase{"StateDirWithoutFolder", {"stop", "--state-dir"}, "--state-dir"},
        UsageCase{"NoLibraryThere", {"version", "--library", "/nonexistent/libKarvel.so"},
                  "no library at /nonexistent/libKarvel.so (--library)"},
        UsageCase{"LogFileCannotBeOpened", {"version", "--log-file", "/nonexistent/folder/karvel.log"},
                  "cannot open the log file /nonexistent/folder/karvel.log"}),
    [](const ::testing::TestParamInfo<UsageCase>& test) { return std::string(test.param.name); });

TEST(KarvelHelp, EndsWithStatusZero) {
    for (const std::vector<std::string>& words : {std::vector<std::string>{"--help"}, {"replay", "--help"}}) {
        std::vector<std::string> line = {cliPath()};
        line.insert(line.end(), words.begin(), words.end());
        const RunResult result = runToEnd(line, kRunLimit);
        EXPECT_EQ(result.status, 0) << result.output;
        EXPECT_NE(result.output.find("--log-file"), std::string::npos) << result.output;
    }
}

// karvel copied into a folder of its own, as a user moves a build or unzips it.
class MovedKarvel : public ::testing::Test {
protected:
    void SetUp() override {
        folder_ = fs::path(::testing::TempDir()) / ("moved-karvel-" + std::to_string(::getpid()));
        fs::remove_all(folder_);
        fs::create_directories(folder_);
        program_ = (folder_ / "karvel").string();
        fs::copy_file(cliPath(), program_);
        ::unsetenv("LD_LIBRARY_PATH");
    }
    void TearDown() override {
        ::unsetenv("LD_LIBRARY_PATH");
        fs::remove_all(folder_);
    }

    fs::path library() const { return karvel::test::libraryPath(); }

    fs::path folder_;
    std::string program_;
};

TEST_F(MovedKarvel, FindsTheLibraryBesideItself) {
    fs::copy_file(library(), folder_ / library().filename());
    const RunResult result = runToEnd({program_, "version"}, kRunLimit);
    EXPECT_EQ(result.status, 0) << result.output;
    EXPECT_NE(result.output.find("Karvel-PC v"), std::string::npos) << result.output;
}

TEST_F(MovedKarvel, FindsTheLibraryOnTheSystemsSearchPath) {
    ::setenv("LD_LIBRARY_PATH", library().parent_path().c_str(), 1);
    const RunResult result = runToEnd({program_, "version"}, kRunLimit);
    EXPECT_EQ(result.status, 0) << result.output;
    EXPECT_NE(result.output.find("Karvel-PC v"), std::string::npos) << result.output;
}

TEST_F(MovedKarvel, SaysWhereItLookedWhenTheLibraryIsNowhere) {
    const RunResult alone = runToEnd({program_, "version"}, kRunLimit);
    EXPECT_EQ(alone.status, 1) << alone.output;
    EXPECT_NE(alone.output.find("karvel: cannot find the Karvel library: "), std::string::npos) << alone.output;
    EXPECT_NE(alone.output.find("(karvel looks for libKarvel.so beside itself, then on the system's search path; "
                                "--library PATH names another)"),
              std::string::npos)
        << alone.output;

    // Named after the command, as a global option may be.
    const RunResult named = runToEnd({program_, "version", "--library", library().string()}, kRunLimit);
    EXPECT_EQ(named.status, 0) << named.output;
}

} // namespace
} // namespace karvel::tools::test
