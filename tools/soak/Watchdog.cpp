#include "Watchdog.h"

#include <cstdio>
#include <cstdlib>

namespace karvel::soak {

Watchdog::Watchdog(std::chrono::milliseconds jobProgressBound, std::function<JobProgress()> jobProgress)
    : jobBound_(jobProgressBound), jobProgress_(std::move(jobProgress)), thread_(&Watchdog::watch, this) {}

Watchdog::~Watchdog() {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        stopping_ = true;
    }
    stop_.notify_all();
    thread_.join();
}

void Watchdog::guard(const char* name, std::chrono::milliseconds bound, const std::function<void()>& call) {
    const Clock::time_point start = Clock::now();
    {
        std::lock_guard<std::mutex> lock(mutex_);
        callName_ = name;
        callStart_ = start;
        callBound_ = bound;
    }
    call();
    const auto took = std::chrono::duration_cast<std::chrono::microseconds>(Clock::now() - start);
    std::lock_guard<std::mutex> lock(mutex_);
    callName_ = nullptr;
    if (took > longest_) longest_ = took;
}

std::chrono::microseconds Watchdog::longestCall() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return longest_;
}

void Watchdog::watch() {
    std::uint64_t ended = 0;
    Clock::time_point progress = Clock::now();
    std::unique_lock<std::mutex> lock(mutex_);
    while (!stop_.wait_for(lock, std::chrono::milliseconds(100), [this] { return stopping_; })) {
        const Clock::time_point now = Clock::now();
        if (callName_ != nullptr && now - callStart_ > callBound_)
            hang(std::string(callName_) + " did not return within " + std::to_string(callBound_.count()) + " ms");
        const JobProgress jobs = jobProgress_();
        const std::uint64_t waiting = jobs.issued > jobs.ended ? jobs.issued - jobs.ended : 0;
        if (jobs.ended != ended || waiting == 0) progress = now;
        ended = jobs.ended;
        if (waiting > 0 && now - progress > jobBound_)
            hang(std::to_string(waiting) + " effect jobs made no progress for " + std::to_string(jobBound_.count()) +
                 " ms");
    }
}

void Watchdog::hang(const std::string& what) {
    std::printf("  HANG             %s\nRESULT: FAIL (hang)\n", what.c_str());
    std::fflush(stdout);
    std::_Exit(3);
}

} // namespace karvel::soak
