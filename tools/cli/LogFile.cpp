#include "LogFile.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <filesystem>

#include "UsageError.h"

namespace karvel::cli {

namespace {
std::mutex clockMutex; // std::localtime shares one result between its callers
} // namespace

std::string logTimeStamp() {
    const auto now = std::chrono::system_clock::now();
    const std::time_t seconds = std::chrono::system_clock::to_time_t(now);
    const auto millis =
        std::chrono::duration_cast<std::chrono::milliseconds>(now.time_since_epoch()).count() % 1000;
    char text[40] = "";
    {
        std::lock_guard<std::mutex> lock(clockMutex);
        if (const std::tm* local = std::localtime(&seconds)) std::strftime(text, sizeof text, "%Y-%m-%d %H:%M:%S", local);
    }
    char stamp[48];
    std::snprintf(stamp, sizeof stamp, "%s.%03d", text, static_cast<int>(millis));
    return stamp;
}

LogFile::LogFile(const std::string& path) {
    errno = 0;
    file_.open(std::filesystem::u8path(path), std::ios::out | std::ios::app);
    if (!file_) {
        const std::string reason = errno != 0 ? std::strerror(errno) : "it cannot be written";
        throw UsageError("cannot open the log file " + path + ": " + reason);
    }
}

void LogFile::write(const std::string& line) {
    // Each entry starts at its time stamp: an indented line is not indented here.
    const std::size_t start = std::min(line.find_first_not_of(' '), line.size());
    const std::string stamped = logTimeStamp() + " " + line.substr(start) + "\n";
    std::lock_guard<std::mutex> lock(mutex_);
    file_ << stamped;
    file_.flush();
}

} // namespace karvel::cli
