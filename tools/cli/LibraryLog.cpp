#include "LibraryLog.h"

#include <atomic>
#include <string>

#include "Console.h"

namespace karvel::cli {

namespace {
std::atomic<int> threshold{static_cast<int>(LogLevel::Info)};
} // namespace

std::optional<LogLevel> parseLogLevel(const std::string& text) {
    if (text == "debug") return LogLevel::Debug;
    if (text == "info") return LogLevel::Info;
    if (text == "error") return LogLevel::Error;
    if (text == "off") return LogLevel::Off;
    return std::nullopt;
}

void setLogLevel(LogLevel level) { threshold = static_cast<int>(level); }

void onLibraryLine(int level, const char* message) {
    if (level >= threshold) console::printLine(std::string("  library: ") + message);
}

} // namespace karvel::cli
