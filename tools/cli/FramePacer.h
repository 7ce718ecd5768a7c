// Paces a stream of frames at a fixed rate on an absolute schedule (a late
// frame does not push the later ones back) and keeps count of late frames:
// those that went out more than half a period after their time.
#pragma once

#include <chrono>
#include <cstdint>

namespace karvel::cli {

class FramePacer {
public:
    explicit FramePacer(double rateHz);

    // Waits for the time of frame `index` (0 is now); false when interrupted.
    bool waitFor(std::uint64_t index);
    // The same, through Ctrl-C: for frames that must go out after it (a soft park).
    void waitThrough(std::uint64_t index);
    // Seconds from the start to frame `index`.
    double timeOf(std::uint64_t index) const { return static_cast<double>(index) / rate_; }

    std::uint64_t late() const { return late_; }
    double worstLatenessMs() const { return worst_.count() * 1e3; }
    double elapsedSeconds() const;

private:
    std::chrono::steady_clock::time_point dueOf(std::uint64_t index) const;
    void measure(std::chrono::steady_clock::time_point due);

    double rate_;
    std::chrono::steady_clock::time_point start_;
    std::uint64_t late_ = 0;
    std::chrono::duration<double> worst_{0};
};

} // namespace karvel::cli
