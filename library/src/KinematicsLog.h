// The DEBUG lines that trace a posture or command through the kinematics,
// one per step, in the order the steps are taken.
#pragma once

#include <cstdint>

#include "SeatAlgorithm.h"

namespace karvel {

void logKinematics(const KinematicsTrace& trace, std::int32_t seatType);

} // namespace karvel
