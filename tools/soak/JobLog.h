// The soak's log callback: it keeps no lines, only counts. Every effect job is
// one Modbus request, and the effects worker logs each request's lines in
// order, starting with its "sendRequest" line. A request has failed once the
// client logs the end of its second attempt, or gives up at once (no
// connection, an invalid length field); it has succeeded when the next one
// starts (or the worker is gone) without that. The outcome is judged from the
// library's side only: a device cannot tell whether its reply arrived in time.
#pragma once

#include <atomic>
#include <cstdint>
#include <mutex>
#include <string>

namespace karvel::soak {

class JobLog {
public:
    // The one the library's log callback feeds.
    static JobLog& instance();
    static void callback(int level, const char* message);

    void take(const char* line);

    std::uint64_t startedRequests() const { return started_.load(); }
    std::uint64_t failedRequests() const { return failed_.load(); }
    std::uint64_t succeededRequests() const { return succeeded_.load(); }
    // The effects worker has stopped: the request in progress, if any, has ended.
    void workerStopped();
    // Motion frames the library let give way to newer ones when its sender
    // fell behind (a busy machine), as it reports them.
    std::uint64_t framesGivenWay() const { return framesGivenWay_.load(); }
    // ERROR lines that are not the Modbus client's: the motion side, configuration.
    std::uint64_t otherErrors() const { return otherErrors_.load(); }
    std::string firstOtherError() const;

private:
    void endRequestInProgress(); // with mutex_ held

    std::mutex mutex_;
    bool inProgress_ = false; // a request has started and not yet ended
    int failedAttempts_ = 0;  // of the request in progress
    std::atomic<std::uint64_t> started_{0};
    std::atomic<std::uint64_t> failed_{0};
    std::atomic<std::uint64_t> succeeded_{0};
    std::atomic<std::uint64_t> otherErrors_{0};
    std::atomic<std::uint64_t> framesGivenWay_{0};
    mutable std::mutex otherMutex_;
    std::string firstOtherError_;
};

} // namespace karvel::soak
