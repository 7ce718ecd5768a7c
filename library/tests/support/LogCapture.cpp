#include "LogCapture.h"

namespace karvel::test {
namespace {

bool startsWith(const std::string& text, const std::string& prefix) { return text.compare(0, prefix.size(), prefix) == 0; }

} // namespace

LogCapture& LogCapture::instance() {
    static LogCapture capture;
    return capture;
}

void LogCapture::callback(int level, const char* message) {
    LogCapture& self = instance();
    {
        std::lock_guard<std::mutex> lock(self.mutex_);
        self.entries_.push_back({level, message != nullptr ? message : "<null>", std::this_thread::get_id()});
    }
    self.changed_.notify_all();
}

void LogCapture::clear() {
    std::lock_guard<std::mutex> lock(mutex_);
    entries_.clear();
}

std::vector<LogEntry> LogCapture::entries() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return entries_;
}

std::vector<std::string> LogCapture::texts() const {
    std::vector<std::string> result;
    for (const LogEntry& entry : entries()) result.push_back(entry.text);
    return result;
}

std::vector<std::string> LogCapture::callerTexts() const {
    std::vector<std::string> result;
    for (const LogEntry& entry : entries())
        if (entry.thread == std::this_thread::get_id()) result.push_back(entry.text);
    return result;
}

std::vector<std::string> LogCapture::linesStartingWith(const std::string& prefix) const {
    std::vector<std::string> result;
    for (const LogEntry& entry : entries())
        if (startsWith(entry.text, prefix)) result.push_back(entry.text);
    return result;
}

std::uint64_t LogCapture::occurrences(const std::string& prefix) const {
    static const std::string kRepeated = " (repeated ";
    std::uint64_t total = 0;
    for (const std::string& line : linesStartingWith(prefix)) {
        const std::size_t at = line.rfind(kRepeated);
        const bool counted = at != std::string::npos && line.size() > 7 && line.compare(line.size() - 7, 7, " times)") == 0;
        total += counted ? std::stoull(line.substr(at + kRepeated.size())) : 1;
    }
    return total;
}

bool LogCapture::contains(const std::string& text) const {
    for (const LogEntry& entry : entries())
        if (entry.text == text) return true;
    return false;
}

bool LogCapture::waitFor(const std::string& prefix, std::size_t count, std::chrono::milliseconds deadline) const {
    std::unique_lock<std::mutex> lock(mutex_);
    return changed_.wait_for(lock, deadline, [&] {
        std::size_t found = 0;
        for (const LogEntry& entry : entries_)
            if (startsWith(entry.text, prefix)) ++found;
        return found >= count;
    });
}

} // namespace karvel::test
