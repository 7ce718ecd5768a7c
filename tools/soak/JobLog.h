// The soak's log callback: it keeps no lines, only counts. Every Modbus
// request starts with the client's "sendRequest" line, and one that fails
// ends with the client's one "request failed" line, whichever device it was
// for (both devices' workers log at once). An ERROR line that repeats is
// passed on once and then as " (repeated N times)", counted N. Once the
// effects workers have stopped, the requests that did not fail succeeded.
// The outcome is judged from the library's side only: a device cannot tell
// whether its reply arrived in time.
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
    // Complete once the effects workers have stopped (after the release).
    std::uint64_t succeededRequests() const { return started_.load() - failed_.load(); }
    // Motion frames the library let give way to newer ones when its sender
    // fell behind (a busy machine), as it reports them.
    std::uint64_t framesGivenWay() const { return framesGivenWay_.load(); }
    // ERROR lines about neither a request nor an effects device: the motion side, configuration.
    std::uint64_t otherErrors() const { return otherErrors_.load(); }
    std::string firstOtherError() const;

private:
    std::atomic<std::uint64_t> started_{0};
    std::atomic<std::uint64_t> failed_{0};
    std::atomic<std::uint64_t> otherErrors_{0};
    std::atomic<std::uint64_t> framesGivenWay_{0};
    mutable std::mutex otherMutex_;
    std::string firstOtherError_;
};

} // namespace karvel::soak
