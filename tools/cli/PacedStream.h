// A stream of a known length on the seat's schedule, shared by `replay` and
// `cue`: its progress while it runs (a bar on a terminal, with log lines
// above it; a line every few seconds elsewhere) and one summary line at the
// end.
#pragma once

#include <cstdint>
#include <functional>

#include "SeatMotion.h"

namespace karvel::cli {

class PacedStream {
public:
    // `seconds` of motion at the motion's rate: frames at 0, 1/rate, ... up to
    // and including `seconds`. `name` ("replay") titles its progress and summary.
    PacedStream(const char* name, SeatMotion& motion, double seconds);

    // At each frame's time, sends the posture `pose(offset, dt)` gives for the
    // frame's time from the start (seconds) and the frame step, until every
    // frame is sent or a stop request comes. True when every one was sent.
    bool run(const std::function<KarvelCueing::SeatPose(double offset, double dt)>& pose);

    std::uint64_t total() const { return total_; }
    std::uint64_t streamed() const { return streamed_; }
    // "NAME: N of M postures streamed in S s (...), L late, worst W ms behind"
    // on standard output. Whether each became a frame on the wire is the
    // session's count (karvel's last line).
    void printSummary() const;

private:
    const char* name_;
    SeatMotion& motion_;
    std::uint64_t total_;
    std::uint64_t streamed_ = 0;
    double elapsed_ = 0; // these three as the stream ended
    std::uint64_t late_ = 0;
    double worstMs_ = 0;
};

} // namespace karvel::cli
