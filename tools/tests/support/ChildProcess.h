// A program run by a test: its standard input from a file (or /dev/null), its
// standard output and error into one file (or each elsewhere); ended and
// reaped on destruction.
#pragma once

#include <sys/types.h>

#include <chrono>
#include <optional>
#include <string>
#include <vector>

namespace karvel::tools::test {

// Where the child's standard output or error goes.
struct Redirect {
    enum class To { OutputFile, Closed, Descriptor };
    To to = To::OutputFile;
    int fd = -1; // for Descriptor: the test's own, duplicated into the child

    static Redirect closed() { return {To::Closed, -1}; }
    static Redirect descriptor(int fd) { return {To::Descriptor, fd}; }
};

class ChildProcess {
public:
    ChildProcess(const std::vector<std::string>& arguments, const std::string& input = "/dev/null",
                 Redirect out = {}, Redirect err = {});
    ~ChildProcess();
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;

    void signal(int number) const;
    // The exit status, or nothing when the process still runs at the deadline.
    std::optional<int> wait(std::chrono::milliseconds timeout);
    // Everything written so far.
    std::string output() const;
    // Waits until the output holds `text`; false at the deadline or when the
    // process ended without writing it.
    bool waitForOutput(const std::string& text, std::chrono::milliseconds timeout);

private:
    pid_t pid_ = -1;
    std::string outputPath_;
    std::optional<int> status_;
};

// Runs to the end (at most `timeout`); the exit status (-1 on time-out) and the output.
struct RunResult {
    int status;
    std::string output;
};
RunResult runToEnd(const std::vector<std::string>& arguments, std::chrono::milliseconds timeout,
                   const std::string& input = "/dev/null");

} // namespace karvel::tools::test
