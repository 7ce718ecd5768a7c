#include "LibraryLog.h"

#include <atomic>
#include <string>

#include "Console.h"
#include "LibraryLines.h"

namespace karvel::cli {

namespace {
std::atomic<int> threshold{static_cast<int>(LogLevel::Info)};
std::atomic<std::uint64_t> givenWay{0};
} // namespace

std::optional<LogLevel> parseLogLevel(const std::string& text) {
    if (text == "debug") return LogLevel::Debug;
    if (text == "info") return LogLevel::Info;
    if (text == "error") return LogLevel::Error;
    if (text == "off") return LogLevel::Off;
    return std::nullopt;
}

void setLogLevel(LogLevel level) { threshold = static_cast<int>(level); }

bool shows(LogLevel level) { return static_cast<int>(level) >= threshold; }

void onLibraryLine(int level, const char* message) {
    if (message == nullptr) return;
    givenWay += tools::framesGivenWay(message);
    if (shows(static_cast<LogLevel>(level))) console::printLine(std::string("  library: ") + message);
}

std::uint64_t framesGivenWay() { return givenWay.load(); }

} // namespace karvel::cli
