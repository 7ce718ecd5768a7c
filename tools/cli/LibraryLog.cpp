#include "LibraryLog.h"

#include <algorithm>
#include <atomic>
#include <string>

#include "Console.h"
#include "Karvel.h"
#include "LibraryLines.h"

namespace karvel::cli {

namespace {
std::atomic<int> shownFrom{static_cast<int>(LogLevel::Error)};
std::atomic<std::uint64_t> givenWay{0};
DeviceWatch devices;
// Only the thread that collects sees its collector: lines from the library's
// own threads never reach it.
thread_local LibraryErrors* collecting = nullptr;
} // namespace

std::optional<LogLevel> parseLogLevel(const std::string& text) {
    if (text == "debug") return LogLevel::Debug;
    if (text == "info") return LogLevel::Info;
    if (text == "error") return LogLevel::Error;
    if (text == "off") return LogLevel::Off;
    return std::nullopt;
}

void setLogLevel(LogLevel shown) { shownFrom = static_cast<int>(shown); }

void printAtLevel(LogLevel level, const std::string& line) {
    const int shown = shownFrom.load();
    if (static_cast<int>(level) >= shown) console::printLine(line);
    else if (static_cast<int>(level) >= std::min(shown, static_cast<int>(LogLevel::Info))) console::logOnly(line);
}

void onLibraryLine(int level, const char* message) {
    if (message == nullptr) return;
    givenWay += tools::framesGivenWay(message);
    devices.note(message);
    if (level == KARVEL_LOG_ERROR)
        if (collecting != nullptr) collecting->add(message);
    printAtLevel(static_cast<LogLevel>(level), std::string("  library: ") + message);
}

std::uint64_t framesGivenWay() { return givenWay.load(); }

DeviceReports effectsDeviceReports() { return devices.reports(); }

LibraryErrors::LibraryErrors() { collecting = this; }

LibraryErrors::~LibraryErrors() { collecting = nullptr; }

std::vector<std::string> LibraryErrors::lines() const { return lines_; }

void LibraryErrors::add(const char* line) {
    constexpr std::size_t kKept = 8;
    if (lines_.size() < kKept) lines_.emplace_back(line);
}

} // namespace karvel::cli
