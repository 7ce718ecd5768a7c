#include "LibraryLog.h"

#include <atomic>
#include <cstdio>

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
    if (level >= threshold) std::fprintf(stderr, "  library: %s\n", message);
}

} // namespace karvel::cli
