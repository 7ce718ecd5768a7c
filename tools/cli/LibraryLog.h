// Where the library's log lines go: printed to standard error when at or
// above the chosen level.
#pragma once

#include <optional>
#include <string>

namespace karvel::cli {

enum class LogLevel { Debug = 0, Info = 1, Error = 2, Off = 3 };

std::optional<LogLevel> parseLogLevel(const std::string& text);
void setLogLevel(LogLevel level);

// The LogCallback handed to the library.
void onLibraryLine(int level, const char* message);

} // namespace karvel::cli
