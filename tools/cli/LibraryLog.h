// Where the library's log lines go: printed to standard error when at or
// above the chosen level, and watched for what the host must know (effects
// links up, Modbus requests under way).
#pragma once

#include <chrono>
#include <cstdint>
#include <optional>
#include <string>

namespace karvel::cli {

enum class LogLevel { Debug = 0, Info = 1, Error = 2, Off = 3 };

std::optional<LogLevel> parseLogLevel(const std::string& text);
void setLogLevel(LogLevel level);

// The LogCallback handed to the library.
void onLibraryLine(int level, const char* message);

// Modbus requests the library has started so far.
std::uint64_t modbusRequestsStarted();
// Waits until that count reaches `count` or the time is up; false on time-out.
bool waitForModbusRequests(std::uint64_t count, std::chrono::milliseconds timeout);
// The last configuration left its effects links connected.
bool effectsLinked();

} // namespace karvel::cli
