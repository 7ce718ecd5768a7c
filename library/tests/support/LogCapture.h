// Collects the library's log lines through a plain callback, from any thread.
#pragma once

#include <chrono>
#include <cstdint>
#include <condition_variable>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace karvel::test {

struct LogEntry {
    int level;
    std::string text;
    std::thread::id thread; // the thread that wrote it
};

class LogCapture {
public:
    static LogCapture& instance();
    // The function to register as the library's log callback.
    static void callback(int level, const char* message);

    void clear();
    std::vector<LogEntry> entries() const;
    std::vector<std::string> texts() const;
    // The texts written on the calling thread: what the calls made there
    // logged, without the workers' lines, whose moment is the scheduler's.
    std::vector<std::string> callerTexts() const;
    // Lines that begin with the given text.
    std::vector<std::string> linesStartingWith(const std::string& prefix) const;
    bool contains(const std::string& text) const;
    // How often lines beginning with `prefix` occurred, counting a line that
    // ends in " (repeated N times)" (repeats the library held back) as N.
    std::uint64_t occurrences(const std::string& prefix) const;
    // Waits until a line beginning with `prefix` has been logged `count` times.
    bool waitFor(const std::string& prefix, std::size_t count = 1,
                 std::chrono::milliseconds deadline = std::chrono::seconds(10)) const;

private:
    mutable std::mutex mutex_;
    mutable std::condition_variable changed_;
    std::vector<LogEntry> entries_;
};

} // namespace karvel::test
