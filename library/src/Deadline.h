// Points on the steady clock after which blocking device work gives up, so
// that every wait on a device ends in time however it trickles or stalls.
#pragma once

#include <algorithm>
#include <atomic>
#include <chrono>
#include <climits>
#include <cstdint>

namespace karvel {

class Deadline {
public:
    using Clock = std::chrono::steady_clock;

    static Deadline never() { return Deadline(Clock::time_point::max()); }
    static Deadline after(std::chrono::milliseconds span) { return Deadline(Clock::now() + span); }
    static Deadline at(Clock::time_point when) { return Deadline(when); }

    Deadline earliest(Deadline other) const { return Deadline(std::min(when_, other.when_)); }
    bool passed() const { return Clock::now() >= when_; }
    // What is left, in whole milliseconds rounded up, 0 once passed.
    int remainingMs() const {
        if (when_ == Clock::time_point::max()) return INT_MAX;
        const auto left = std::chrono::ceil<std::chrono::milliseconds>(when_ - Clock::now()).count();
        return static_cast<int>(std::clamp<long long>(left, 0, INT_MAX));
    }
    Clock::time_point when() const { return when_; }

private:
    explicit Deadline(Clock::time_point when) : when_(when) {}
    Clock::time_point when_;
};

// Now on the steady clock, in nanoseconds: a plain number for atomics and throttles.
inline std::int64_t steadyNowNs() {
    return std::chrono::duration_cast<std::chrono::nanoseconds>(Deadline::Clock::now().time_since_epoch()).count();
}

// A deadline that one thread may bring forward while another works under it:
// a stop that wants the device work in progress to end soon.
class SharedCutoff {
public:
    Deadline current() const { return Deadline::at(Deadline::Clock::time_point(Deadline::Clock::duration(at_.load()))); }
    // Never moves it later than it is.
    void bringForward(Deadline deadline) {
        const auto wanted = deadline.when().time_since_epoch().count();
        auto seen = at_.load();
        while (wanted < seen && !at_.compare_exchange_weak(seen, wanted)) {
        }
    }
    void clear() { at_.store(Deadline::Clock::duration::max().count()); }

private:
    std::atomic<Deadline::Clock::rep> at_{Deadline::Clock::duration::max().count()};
};

} // namespace karvel
