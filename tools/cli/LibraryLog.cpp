#include "LibraryLog.h"

#include <atomic>
#include <condition_variable>
#include <mutex>
#include <cstring>
#include <string>

#include "Console.h"

namespace karvel::cli {

namespace {
std::atomic<int> threshold{static_cast<int>(LogLevel::Info)};
std::mutex requestsMutex;
std::condition_variable requestsChanged;
std::uint64_t requestsStarted = 0; // guarded by requestsMutex
std::atomic<bool> linked{false};
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
    if (std::strstr(message, "ModbusTcpClient sendRequest") != nullptr) {
        {
            std::lock_guard<std::mutex> lock(requestsMutex);
            ++requestsStarted;
        }
        requestsChanged.notify_all();
    }
    if (std::strstr(message, "Effects initialized successfully") != nullptr ||
        std::strstr(message, "EffectsController endpoints switched") != nullptr)
        linked = true;
    if (std::strstr(message, "Effects initialization failed") != nullptr ||
        std::strstr(message, "Effects disabled") != nullptr || std::strstr(message, "EffectsController released") != nullptr)
        linked = false;
    if (level >= threshold) console::printLine(std::string("  library: ") + message);
}

std::uint64_t modbusRequestsStarted() {
    std::lock_guard<std::mutex> lock(requestsMutex);
    return requestsStarted;
}

bool waitForModbusRequests(std::uint64_t count, std::chrono::milliseconds timeout) {
    std::unique_lock<std::mutex> lock(requestsMutex);
    return requestsChanged.wait_for(lock, timeout, [count] { return requestsStarted >= count; });
}
bool effectsLinked() { return linked; }

} // namespace karvel::cli
