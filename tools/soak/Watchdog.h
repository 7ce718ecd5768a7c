// Every library call of the soak runs under the watchdog: a call that has not
// returned within its bound, or effect jobs that make no progress for too
// long, end the process with a hang report (a hung thread cannot be joined).
#pragma once

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <string>
#include <thread>

namespace karvel::soak {

class Watchdog {
public:
    using Clock = std::chrono::steady_clock;
    struct JobProgress {
        std::uint64_t issued;
        std::uint64_t ended; // succeeded or failed
    };
    Watchdog(std::chrono::milliseconds jobProgressBound, std::function<JobProgress()> jobProgress);
    ~Watchdog();
    Watchdog(const Watchdog&) = delete;
    Watchdog& operator=(const Watchdog&) = delete;

    // Runs `call` (named `name`), which must return within `bound`.
    void guard(const char* name, std::chrono::milliseconds bound, const std::function<void()>& call);
    std::chrono::microseconds longestCall() const;

private:
    void watch();
    [[noreturn]] void hang(const std::string& what);

    const std::chrono::milliseconds jobBound_;
    const std::function<JobProgress()> jobProgress_;
    mutable std::mutex mutex_;
    std::condition_variable stop_;
    bool stopping_ = false;
    const char* callName_ = nullptr; // the call in progress, if any
    Clock::time_point callStart_{};
    std::chrono::milliseconds callBound_{0};
    std::chrono::microseconds longest_{0};
    std::thread thread_;
};

} // namespace karvel::soak
