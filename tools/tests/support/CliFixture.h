// A virtual seat on system-chosen ports and the `karvel` command line that
// drives it through the library under test (for the tests that hold the port
// 8410 lock).
#pragma once

#include <gtest/gtest.h>

#include <fstream>
#include <string>
#include <vector>

#include "ChildProcess.h"
#include "SimFixture.h"

namespace karvel::tools::test {

constexpr std::chrono::milliseconds kRunLimit{30000};

// Writes `text` into a file of the test's temporary directory; its path.
inline std::string writeFile(const std::string& name, const std::string& text) {
    const std::string path = ::testing::TempDir() + name;
    std::ofstream(path) << text;
    return path;
}

class KarvelCli : public ::testing::Test {
protected:
    sim::VirtualSeat seat_{loopbackSeat(sim::kOrvida)};

    // karvel with the library under test, `words` and the seat's addresses.
    std::vector<std::string> command(std::vector<std::string> words, const std::string& logLevel = "error") const {
        const sim::Ports ports = seat_.ports();
        std::vector<std::string> line = {cliPath(), "--library", karvel::test::libraryPath(), "--log-level", logLevel};
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
