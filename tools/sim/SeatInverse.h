// Turns the pulse targets of a motion frame back into what produced them:
// normalised axis positions and the pitch, roll, height and yaw of the
// posture call. The crank constants are the seat models' own (SeatModel.h).
#pragma once

#include <cstdint>
#include <string>

#include "SeatModels/SeatModel.h"

namespace karvel::sim {

struct AxisTargets {
    std::int32_t x = 0, y = 0, z = 0, u = 0;
};

struct DecodedPosture {
    double axis[3] = {0, 0, 0}; // normalised positions of X, Y, Z: 0 bottom, 1 top
    double pitch = 0, roll = 0, height = 0, yaw = 0;
    // Empty when the posture is the only one that gives these targets; else
    // why another (limited) request could have produced the same frame.
    std::string ambiguity;
};

// Yaw assumes the posture call (the direct posture command puts half as many
// pulses on U per degree and cannot be told apart on the wire).
DecodedPosture invertTargets(const KarvelSeat::SeatModel& model, const AxisTargets& targets);

} // namespace karvel::sim
