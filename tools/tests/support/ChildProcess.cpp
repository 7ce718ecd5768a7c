// What the child process does the same way on every platform.
#include "ChildProcess.h"

#include <fstream>
#include <sstream>
#include <thread>

namespace karvel::tools::test {

std::string ChildProcess::output() const {
    std::ifstream file(outputPath_, std::ios::binary);
    std::stringstream text;
    text << file.rdbuf();
    return text.str();
}

bool ChildProcess::waitForOutput(const std::string& text, std::chrono::milliseconds timeout) {
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    for (;;) {
        const bool ended = wait(std::chrono::milliseconds(0)).has_value();
        if (output().find(text) != std::string::npos) return true;
        if (ended || std::chrono::steady_clock::now() >= deadline) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(10)); // a file gives no word when it grows
    }
}

RunResult runToEnd(const std::vector<std::string>& arguments, std::chrono::milliseconds timeout,
                   const std::string& input) {
    ChildProcess child(arguments, input);
    const std::optional<int> status = child.wait(timeout);
    return {status.value_or(-1), child.output()};
}

} // namespace karvel::tools::test
