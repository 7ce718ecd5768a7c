// Stops a library thread at a known point: the thread that logs a line
// beginning with the armed prefix waits inside the log callback until the
// gate opens (or 30 s pass, so that a failing test never hangs). Every line
// goes on to LogCapture first. Register LineGate::callback as the log
// callback while the gate is used, and open it before replacing the callback.
#pragma once

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <string>

namespace karvel::test {

class LineGate {
public:
    static LineGate& instance();
    static void callback(int level, const char* message);

    // Holds the next thread that logs a line beginning with `prefix`.
    void arm(const std::string& prefix);
    // Whether a thread is held, waiting at most `deadline` for one.
    bool waitHeld(std::chrono::milliseconds deadline = std::chrono::seconds(10));
    // Lets the held thread go, and disarms.
    void open();

private:
    void pass(const char* message);

    std::mutex mutex_;
    std::condition_variable changed_;
    std::string prefix_;
    bool armed_ = false;
    bool held_ = false;
    bool open_ = true;
};

} // namespace karvel::test
