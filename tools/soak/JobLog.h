// The soak's log callback: it keeps no lines, only counts. Every effect job is
// one Modbus request, and the effects worker logs each request's lines in
// order, so a request has failed once the client logs the end of its second
// attempt, or gives up at once (no connection, an invalid length field).
#pragma once

#include <atomic>
#include <cstdint>
#include <mutex>
#include <string>

namespace karvel::soak {

class JobLog {
public:
    static JobLog& instance();
    static void callback(int level, const char* message);

    std::uint64_t failedRequests() const { return failed_.load(); }
    // ERROR lines that are not the Modbus client's: the motion side, configuration.
    std::uint64_t otherErrors() const { return otherErrors_.load(); }
    std::string firstOtherError() const;

private:
    void take(const char* message);

    std::mutex mutex_;
    int failedAttempts_ = 0; // of the request in progress
    bool ended_ = false;     // the request in progress has failed for good
    std::atomic<std::uint64_t> failed_{0};
    std::atomic<std::uint64_t> otherErrors_{0};
    mutable std::mutex otherMutex_;
    std::string firstOtherError_;
};

} // namespace karvel::soak
