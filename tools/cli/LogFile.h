// The operator's record of a run (`--log-file PATH`): every line the host
// prints and the library's lines, each with the local time it was written,
// appended to a file that is kept between runs.
#pragma once

#include <fstream>
#include <mutex>
#include <string>

namespace karvel::cli {

class LogFile {
public:
    // Opens `path` (UTF-8) for appending, creating it when missing; throws
    // UsageError saying why it cannot.
    explicit LogFile(const std::string& path);
    LogFile(const LogFile&) = delete;
    LogFile& operator=(const LogFile&) = delete;

    // "2025-01-31 17:03:12.345 LINE", written through at once: a host that
    // is killed loses nothing it wrote. From any thread.
    void write(const std::string& line);

private:
    std::mutex mutex_;
    std::ofstream file_; // guarded by mutex_
};

// The time stamp of now as the log file writes it: local time to the millisecond.
std::string logTimeStamp();

} // namespace karvel::cli
