// A virtual seat on system-chosen ports and the `karvel` command line that
// drives it through the library under test (for the tests that hold the port
// 8410 lock).
#pragma once

#include <gtest/gtest.h>

#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <regex>
#include <string>
#include <vector>

#include "ChildProcess.h"
#include "SimFixture.h"

namespace karvel::tools::test {

constexpr std::chrono::milliseconds kRunLimit{30000};

std::string cliPath();
std::string motionFile(const std::string& name);

// Writes `text` into a file of the test's temporary directory; its path.
inline std::string writeFile(const std::string& name, const std::string& text) {
    const std::string path = ::testing::TempDir() + name;
    std::ofstream(path) << text;
    return path;
}

// The host's count of what left the library ("karvel: N of M frames sent
// (home included), K given way"): N, and K.
inline std::smatch sentLine(const std::string& output) {
    std::smatch match;
    std::regex_search(output, match,
                      std::regex("karvel: ([0-9]+) of [0-9]+ frames sent \\(home included\\), ([0-9]+) given way"));
    return match;
}
inline std::uint64_t framesReported(const std::string& output) {
    const std::smatch match = sentLine(output);
    return match.empty() ? 0 : std::stoull(match[1]);
}
inline std::uint64_t givenWayReported(const std::string& output) {
    const std::smatch match = sentLine(output);
    return match.empty() ? 0 : std::stoull(match[2]);
}

// An empty folder of its own for one test's guard state, under the test's
// temporary folder: a guard never writes into the user's state folder.
inline std::string freshStateDir() {
    static int made = 0;
    const std::string dir = ::testing::TempDir() + "karvel-state-" + std::to_string(::getpid()) + "-" + std::to_string(made++);
    std::filesystem::remove_all(dir);
    std::filesystem::create_directories(dir);
    return dir;
}

class KarvelCli : public ::testing::Test {
protected:
    sim::VirtualSeat seat_{loopbackSeat(KarvelSeat::OrvidaSeat)};

    // Every frame the host sent arrived whole, none beyond the envelope, and
    // the seat ended at the Orvida's home with the effects off. `before`: the
    // frames earlier runs sent to the same seat.
    void expectEveryFrameWithinTheEnvelopeAndHome(const std::string& output, std::uint64_t before = 0) {
        ASSERT_GT(framesReported(output), 0u) << output;
        const std::uint64_t sent = before + framesReported(output);
        const sim::SimSnapshot s = seat_.waitFor(
            [&](const sim::SimSnapshot& x) {
                return x.motion.frames >= sent && x.speed.requests > 0;
            },
            kDeadline);
        EXPECT_EQ(s.motion.frames, sent);
        EXPECT_EQ(s.motion.malformed(), 0u);
        EXPECT_EQ(s.motion.rates.flagged, 0u) << s.motion.rates.lastFlag;
        EXPECT_NEAR(s.motion.posture.pitch, 0.0, 1e-3);
        EXPECT_NEAR(s.motion.posture.roll, 0.0, 1e-3);
        EXPECT_NEAR(s.motion.posture.yaw, 0.0, 1e-3);
        EXPECT_NEAR(s.motion.posture.height, 0.5, 1e-4);
        EXPECT_EQ(s.effects.fanSpeed, 0);
        EXPECT_EQ(s.effects.mistLevel, 0);
        EXPECT_FALSE(s.effects.heater);
    }

    // The test's own folder for the guard's state file.
    const std::string stateDir_ = freshStateDir();

    // karvel with the library under test, the test's state folder, `words`
    // and the seat's addresses (and the log level, but for "": karvel's own).
    std::vector<std::string> command(std::vector<std::string> words, const std::string& logLevel = "error") const {
        const sim::Ports ports = seat_.ports();
        std::vector<std::string> line = {cliPath(), "--library", karvel::test::libraryPath(), "--state-dir", stateDir_};
        if (!logLevel.empty()) line.insert(line.end(), {"--log-level", logLevel});
        line.insert(line.end(), words.begin(), words.end());
        if (words[0] != "version") {
            for (const std::string& option : {"--udp=127.0.0.1:" + std::to_string(ports.motion),
                                              "--relay=127.0.0.1:" + std::to_string(ports.relay),
                                              "--speed=127.0.0.1:" + std::to_string(ports.speed)})
                line.push_back(option);
        }
        return line;
    }
};

} // namespace karvel::tools::test
