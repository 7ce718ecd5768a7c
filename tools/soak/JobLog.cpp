#include "JobLog.h"

#include <cstring>

#include "LibraryLines.h"

namespace karvel::soak {
namespace {

bool startsWith(const char* text, const char* prefix) { return std::strncmp(text, prefix, std::strlen(prefix)) == 0; }

bool endsWith(const char* text, const char* suffix) {
    const std::size_t length = std::strlen(text);
    const std::size_t tail = std::strlen(suffix);
    return length >= tail && std::strcmp(text + length - tail, suffix) == 0;
}

constexpr const char* kClientError = "[Ridova][ERROR] ModbusTcpClient ";

// The one line each failed attempt ends with.
bool endsAnAttempt(const char* line) {
    return endsWith(line, "Retry=0") || endsWith(line, "Retry=1") ||
           startsWith(line, "[Ridova][ERROR] ModbusTcpClient readBytes data error.");
}

// Lines after which the request is not tried again.
bool endsTheRequest(const char* line) {
    return startsWith(line, "[Ridova][ERROR] ModbusTcpClient not connected, reconnect failed") ||
           startsWith(line, "[Ridova][ERROR] ModbusTcpClient invalid dataLen: ") ||
           startsWith(line, "[Ridova][ERROR] ModbusTcpClient request deadline passed.");
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

void JobLog::workerStopped() {
    std::lock_guard<std::mutex> lock(mutex_);
    endRequestInProgress();
}

void JobLog::endRequestInProgress() {
    if (inProgress_) ++succeeded_; // it would have failed by now
    inProgress_ = false;
}

void JobLog::take(const char* line) {
    if (startsWith(line, "[Ridova][DEBUG] ModbusTcpClient sendRequest ")) {
        std::lock_guard<std::mutex> lock(mutex_);
        endRequestInProgress();
        inProgress_ = true;
        failedAttempts_ = 0;
        ++started_;
        return;
    }
    if (!startsWith(line, "[Ridova][ERROR] ")) return;
    if (const std::uint64_t givenWay = tools::framesGivenWay(line)) {
        framesGivenWay_ += givenWay;
        return;
    }
    if (!startsWith(line, kClientError)) {
        if (otherErrors_++ == 0) {
            std::lock_guard<std::mutex> lock(otherMutex_);
            firstOtherError_ = line;
        }
        return;
    }
    std::lock_guard<std::mutex> lock(mutex_);
    if (!inProgress_) return;
    if (endsAnAttempt(line)) ++failedAttempts_;
    if (failedAttempts_ == 2 || endsTheRequest(line)) {
        inProgress_ = false;
        ++failed_;
    }
}

} // namespace karvel::soak
