// How fast the decoded posture moves, frame to frame, and which frames moved
// it faster than a motion envelope allows. Pure: the caller passes each good
// frame's posture and arrival time.
//
// A frame's rate is its change over the time the sender meant between frames.
// Arrival times jitter (the sender catches up in bursts after a stall), so
// that time is taken as the largest of the frame's own interval and the mean
// and median interval of the recent frames, and at most MaxStepSeconds: the
// longest step over which the cueing envelope lets the seat move at its
// limits (after a pause the seat must not jump either). Until a stream's
// first few intervals have given its frame time, a frame is held to that
// longest step, as after a pause. A frame's rates hold until the seat would
// have reached its target: once no frame has come for kStillAfter seconds,
// the current rates are zero.
#pragma once

#include <cstdint>
#include <deque>
#include <string>

#include "SeatInverse.h"

namespace karvel::sim {

// deg/s for pitch, roll and yaw; height units (0..1) per second.
struct AxisRates {
    double pitch = 0, roll = 0, yaw = 0, height = 0;
};

// The largest velocity limits of the cueing presets: what no cued stream exceeds.
AxisRates presetRateLimits();

struct RateReport {
    AxisRates limits;
    AxisRates current; // of the latest frame, signed
    AxisRates peak;    // largest magnitudes so far
    std::uint64_t flagged = 0; // frames that moved faster than the limits
    std::string lastFlag;      // what the latest of them did
};

class RateWatch {
public:
    static constexpr double kStillAfter = 0.25; // s

    explicit RateWatch(const AxisRates& limits);

    // The next good frame; true when it moved faster than the limits allow.
    bool add(std::uint64_t frame, const DecodedPosture& posture, double seconds);
    // The report as it stands at `seconds`.
    RateReport reportAt(double seconds) const;
    const RateReport& report() const { return report_; }
    // Peaks and flags start again from nothing; the last posture stays the
    // one the next frame moves from.
    void startSession();

private:
    double frameStep(double interval);

    RateReport report_;
    bool first_ = true;
    DecodedPosture previous_;
    double previousSeconds_ = 0;
    std::deque<double> intervals_; // of the recent frames of this stream
};

} // namespace karvel::sim
