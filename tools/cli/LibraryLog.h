// Where the library's log lines go: printed to standard error when at or
// above the chosen level. Every line, printed or not, is also read for the
// motion frames the library let give way to newer ones.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace karvel::cli {

enum class LogLevel { Debug = 0, Info = 1, Error = 2, Off = 3 };

std::optional<LogLevel> parseLogLevel(const std::string& text);
void setLogLevel(LogLevel level);
// Whether lines at `level` are shown.
bool shows(LogLevel level);

// The LogCallback handed to the library.
void onLibraryLine(int level, const char* message);

// Motion frames the library reported as given way to newer ones: they never
// left it. Complete once the library is released.
std::uint64_t framesGivenWay();

} // namespace karvel::cli
