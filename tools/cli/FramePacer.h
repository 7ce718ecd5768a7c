// Paces a stream of frames at a fixed rate and keeps count of late frames:
// those that went out more than half a period after their time. Jitter
// within half a period leaves the schedule as it is; a late frame pushes
// the later ones back, so that a stall (a busy machine) never turns into a
// burst of frames that would move the seat faster than each frame's step.
#pragma once

#include <chrono>
#include <cstdint>

namespace karvel::cli {

class FramePacer {
public:
    using Clock = std::chrono::steady_clock;

    explicit FramePacer(double rateHz);

    // The time of frame `index` (0 is the pacer's start).
    Clock::time_point dueOf(std::uint64_t index) const;
    // Waits for the time of frame `index`; false when `enough` stop requests came first.
    bool waitFor(std::uint64_t index, int enough = 1);
    // Frame `index` went out now: counts it late if it is, and then starts
    // the schedule afresh from it.
    void measure(std::uint64_t index);

    // Seconds from the start to frame `index`.
    double timeOf(std::uint64_t index) const { return static_cast<double>(index) / rate_; }
    double rate() const { return rate_; }

    std::uint64_t late() const { return late_; }
    double worstLatenessMs() const { return worst_.count() * 1e3; }

private:
    double rate_;
    Clock::time_point start_;
    std::uint64_t late_ = 0;
    std::chrono::duration<double> worst_{0};
};

} // namespace karvel::cli
