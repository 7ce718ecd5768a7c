// Seat kinematics: postures and axis positions to the four pulse targets of a
// motion frame. Pure computation on constants; the float widths of each step
// are part of the result, so keep single and double steps as they are. What
// each step worked with is handed back in a trace, for the controller's DEBUG
// lines (KinematicsLog), written once the frame is on its way.
#pragma once

#include <cstdint>

#include "SeatModel.h"

namespace karvel {

struct AxisPositions {
    float x, y, z; // normalised, 0 bottom .. 1 top
};

struct PulseTargets {
    std::int32_t x, y, z, u;
};

// One crank: the normalised position, the signed unit position it became, its pulse.
struct PulseStep {
    float normPos;
    double position;
    std::int32_t pulse;
};

struct KinematicsTrace {
    bool fromPosture = false; // the axes were computed from a posture (else given)
    float pitch = 0, roll = 0, height = 0;
    AxisPositions axes{};
    PulseStep pulses[3]{};
    float uTurns = 0;
    std::int32_t rotationPulse = 0;
};

class SeatAlgorithm {
public:
    // The model's record in the seat model table; code 1 selects Orvida, every other code Tamsel.
    static const KarvelSeat::SeatModel& modelParams(std::int32_t seatType) { return KarvelSeat::SeatModelOf(seatType); }

    static AxisPositions calculateAxes(float pitch, float roll, float height);
    static std::int32_t calculatePulse(float normPos, std::int32_t seatType) { return pulseStep(normPos, seatType).pulse; }
    static PulseStep pulseStep(float normPos, std::int32_t seatType);
    static std::int32_t calculateRotationPulse(float uTurns, std::int32_t seatType);
    static double lengthToPulse(double position, float linkLength, float crankRadius, float pulsesPerHalfTurn);

    // The three callers' whole computations, X, Y, Z then U; each step into `trace` when given.
    static PulseTargets postureTargets(float pitch, float roll, float yaw, float height, std::int32_t seatType,
                                       KinematicsTrace* trace = nullptr);
    static PulseTargets commandTargets(float x, float y, float z, float angle, std::int32_t seatType,
                                       KinematicsTrace* trace = nullptr);
    static PulseTargets homeTargets(std::int32_t seatType);

    // Truncation toward zero; values beyond the 32-bit range saturate and a NaN gives 0.
    static std::int32_t truncateToPulse(double value);
};

} // namespace karvel
