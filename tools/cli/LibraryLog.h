// Where the library's log lines (and the guard's) go: printed to standard
// error when at or above the level shown (ERROR by default), and into the log
// file from INFO on (DEBUG too when it is shown). Every line, printed or not, is also read
// for the motion frames the library let give way to newer ones and for what
// it says about the effects devices, and a
// LibraryErrors may collect the ERROR lines of a call.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "DeviceReport.h"

namespace karvel::cli {

// The library's levels (KARVEL_LOG_DEBUG..ERROR), and none.
enum class LogLevel { Debug = 0, Info = 1, Error = 2, Off = 3 };

std::optional<LogLevel> parseLogLevel(const std::string& text);
void setLogLevel(LogLevel shown);
// A line at `level` (the library's, the guard's): on standard error when that
// level is shown, else into the log file alone from INFO on.
void printAtLevel(LogLevel level, const std::string& line);

// The LogCallback handed to the library.
void onLibraryLine(int level, const char* message);

// Motion frames the library reported as given way to newer ones: they never
// left it. Complete once the library is released.
std::uint64_t framesGivenWay();

// What the library said about each effects device so far. Complete once the
// library is released.
DeviceReports effectsDeviceReports();

// The ERROR lines the library writes on the constructing thread while this
// lives (the first few): what a refused call said about why. One at a time.
class LibraryErrors {
public:
    LibraryErrors();
    ~LibraryErrors();
    LibraryErrors(const LibraryErrors&) = delete;
    LibraryErrors& operator=(const LibraryErrors&) = delete;

    std::vector<std::string> lines() const;
    void add(const char* line); // for the log callback, on this thread

private:
    std::vector<std::string> lines_;
};

} // namespace karvel::cli
