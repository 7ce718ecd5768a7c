#include "JobLog.h"

#include <cstring>

#include "LibraryLines.h"

namespace karvel::soak {
namespace {

bool startsWith(const char* text, const char* prefix) { return std::strncmp(text, prefix, std::strlen(prefix)) == 0; }

constexpr const char* kRequestStarted = "[Ridova][DEBUG] ModbusTcpClient sendRequest ";
constexpr const char* kRequestFailed = "[Ridova][ERROR] ModbusTcpClient request failed: ";

// How often a line occurred: N when the library held its repeats back.
std::uint64_t occurrences(const char* line) {
    const char* repeated = std::strstr(line, " (repeated ");
    if (repeated == nullptr) return 1;
    const std::uint64_t count = std::strtoull(repeated + std::strlen(" (repeated "), nullptr, 10);
    return count > 0 ? count : 1;
}

// The lines a failing effects device causes: the client's, and those naming the device.
bool aboutAnEffectsDevice(const char* line) {
    return startsWith(line, "[Ridova][ERROR] ModbusTcpClient ") || std::strstr(line, "relay board") != nullptr ||
           std::strstr(line, "fan speed controller") != nullptr;
}

} // namespace

JobLog& JobLog::instance() {
    static JobLog log;
    return log;
}

void JobLog::callback(int, const char* message) {
    if (message != nullptr) instance().take(message);
}

std::string JobLog::firstOtherError() const {
    std::lock_guard<std::mutex> lock(otherMutex_);
    return firstOtherError_;
}

void JobLog::take(const char* line) {
    if (startsWith(line, kRequestStarted)) {
        ++started_;
        return;
    }
    if (!startsWith(line, "[Ridova][ERROR] ")) return;
    if (const std::uint64_t givenWay = tools::framesGivenWay(line)) {
        framesGivenWay_ += givenWay;
        return;
    }
    if (startsWith(line, kRequestFailed)) {
        failed_ += occurrences(line);
        return;
    }
    if (aboutAnEffectsDevice(line)) return;
    if (otherErrors_++ == 0) {
        std::lock_guard<std::mutex> lock(otherMutex_);
        firstOtherError_ = line;
    }
}

} // namespace karvel::soak
