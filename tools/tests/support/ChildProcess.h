// A program run by a test: its standard input from a file (or none), its
// standard output and error into one file (or each elsewhere); ended and
// reaped on destruction.
#pragma once

#include <chrono>
#include <cstdint>
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
    // "/dev/null" as input means none, on every platform.
    ChildProcess(const std::vector<std::string>& arguments, const std::string& input = "/dev/null",
                 Redirect out = {}, Redirect err = {});
    ~ChildProcess();
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;

    // A signal here; on Windows SIGINT and SIGTERM are a Ctrl-Break to the program's console group.
    void signal(int number) const;
    // The exit status, or nothing when the process still runs at the deadline.
    std::optional<int> wait(std::chrono::milliseconds timeout);
    // Everything written so far.
    std::string output() const;
    // Waits until the output holds `text`; false at the deadline or when the
    // process ended without writing it.
    bool waitForOutput(const std::string& text, std::chrono::milliseconds timeout);

private:
    long long id_ = -1;         // the process id
    std::uintptr_t handle_ = 0; // Windows: the process handle
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
