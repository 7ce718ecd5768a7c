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
    while (output().find(text) == std::string::npos) {
        if (wait(std::chrono::milliseconds(0)) || std::chrono::steady_clock::now() >= deadline)
            return output().find(text) != std::string::npos;
        std::this_thread::sleep_for(std::chrono::milliseconds(20)); // a file has nothing to wait on
    }
    return true;
}

RunResult runToEnd(const std::vector<std::string>& arguments, std::chrono::milliseconds timeout,
                   const std::string& input) {
    ChildProcess child(arguments, input);
    const std::optional<int> status = child.wait(timeout);
    return {status.value_or(-1), child.output()};
}

} // namespace karvel::tools::test
