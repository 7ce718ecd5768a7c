// A stream of frames at a fixed rate on one absolute schedule, shared by
// `replay` and `cue`: a progress bar on a terminal while it runs (log lines
// go above it) and one summary line at the end.
#pragma once

#include <cstdint>
#include <functional>

#include "FramePacer.h"

namespace karvel::cli {

class PacedStream {
public:
    // `seconds` of motion at `rateHz`: frames at 0, 1/rate, ... up to and including `seconds`.
    PacedStream(double seconds, double rateHz);

    // Calls `frame` with each frame's time from the start (seconds) at that
    // time, until every frame is sent or Ctrl-C. True when every one was sent.
    bool run(const std::function<void(double)>& frame);
    // One more frame on the same schedule after the stream, also after Ctrl-C
    // (a soft park must finish). Not counted in the summary.
    void extra(const std::function<void()>& frame);

    std::uint64_t total() const { return total_; }
    std::uint64_t sent() const { return sent_; }
    double rate() const { return rate_; }
    // "NAME: N of M frames sent in S s (...), L late, worst W ms behind" on standard output.
    void printSummary(const char* name) const;

private:
    void drawProgress(std::uint64_t done) const;

    double rate_;
    std::uint64_t total_;
    std::uint64_t sent_ = 0;
    std::uint64_t extras_ = 0;
    double elapsed_ = 0; // these three as the stream ended
    std::uint64_t late_ = 0;
    double worstMs_ = 0;
    bool terminal_;
    FramePacer pacer_;
};

} // namespace karvel::cli
