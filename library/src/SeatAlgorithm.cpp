#include "SeatAlgorithm.h"

#include <cmath>
#include <limits>

namespace karvel {
namespace {

using KarvelSeat::SeatModel;

constexpr float kFullDeflectionDegrees = 15.0f;
constexpr float kMixWeight = 0.5f;
constexpr float kRotationPulsesFactor = 10000.0f;
constexpr float kDegreesPerTurn = 360.0f;
constexpr double kPi = 3.141592653589793;
constexpr double kSmallestDenominator = 0.0001;

// Upper bound first, so that a NaN becomes the upper bound.
template <typename T>
T limit(T value, T lo, T hi) {
    value = value < hi ? value : hi;
    return value > lo ? value : lo;
}

float rotationScale(const SeatModel& model) {
    return (model.RotationRatio * kRotationPulsesFactor) * kMixWeight;
}

} // namespace

std::int32_t SeatAlgorithm::truncateToPulse(double value) {
    if (std::isnan(value)) return 0;
    if (value >= 2147483647.0) return std::numeric_limits<std::int32_t>::max();
    if (value <= -2147483648.0) return std::numeric_limits<std::int32_t>::min();
    return static_cast<std::int32_t>(value);
}

AxisPositions SeatAlgorithm::calculateAxes(float pitch, float roll, float height) {
    float p = pitch / kFullDeflectionDegrees;
    float r = roll / kFullDeflectionDegrees;
    const float h = limit(height, 0.0f, 1.0f);
    p = limit(p, -1.0f, 1.0f);
    r = limit(r, -1.0f, 1.0f);
    const float hp = p * kMixWeight;
    const float hr = r * kMixWeight;
    const float s = hp + h;
    return AxisPositions{limit(s + hr, 0.0f, 1.0f), limit(s - hr, 0.0f, 1.0f), limit(h - hp, 0.0f, 1.0f)};
}

double SeatAlgorithm::lengthToPulse(double position, float linkLength, float crankRadius, float pulsesPerHalfTurn) {
    if (position < -1.0 || position > 1.0) return 0.0;
    const float lo = linkLength - crankRadius;
    const float hi = linkLength + crankRadius;
    const float span = hi - lo;
    const double axisLength = (static_cast<double>(span) * 0.5) * (position + 1.0) + static_cast<double>(lo);
    const double radius = crankRadius;
    const double denominator = (radius + radius) * axisLength;
    if (std::fabs(denominator) < kSmallestDenominator) return 0.0;
    const double cosine = (std::pow(static_cast<double>(linkLength), 2.0) - std::pow(axisLength, 2.0) -
                           std::pow(radius, 2.0)) /
                          denominator;
    return std::acos(limit(cosine, -1.0, 1.0)) / kPi * static_cast<double>(pulsesPerHalfTurn);
}

PulseStep SeatAlgorithm::pulseStep(float normPos, std::int32_t seatType) {
    const SeatModel& model = modelParams(seatType);
    const double position = static_cast<double>(normPos) + static_cast<double>(normPos) - 1.0;
    const double value = lengthToPulse(position, model.LinkLength, model.CrankRadius, model.PulsesPerHalfTurn);
    return PulseStep{normPos, position, truncateToPulse(value)};
}

std::int32_t SeatAlgorithm::calculateRotationPulse(float uTurns, std::int32_t seatType) {
    const float value = rotationScale(modelParams(seatType)) * uTurns;
    return truncateToPulse(value);
}

namespace {

PulseTargets cranksAndTurntable(const AxisPositions& axes, float uTurns, std::int32_t seatType, KinematicsTrace& trace) {
    trace.axes = axes;
    const float positions[3] = {axes.x, axes.y, axes.z};
    for (int i = 0; i < 3; ++i) trace.pulses[i] = SeatAlgorithm::pulseStep(positions[i], seatType);
    trace.uTurns = uTurns;
    trace.rotationPulse = SeatAlgorithm::calculateRotationPulse(uTurns, seatType);
    return PulseTargets{trace.pulses[0].pulse, trace.pulses[1].pulse, trace.pulses[2].pulse, trace.rotationPulse};
}

} // namespace

PulseTargets SeatAlgorithm::postureTargets(float pitch, float roll, float yaw, float height, std::int32_t seatType,
                                           KinematicsTrace* trace) {
    KinematicsTrace steps;
    steps.fromPosture = true;
    steps.pitch = pitch;
    steps.roll = roll;
    steps.height = height;
    const PulseTargets targets =
        cranksAndTurntable(calculateAxes(pitch, roll, height), (yaw + yaw) / kDegreesPerTurn, seatType, steps);
    if (trace != nullptr) *trace = steps;
    return targets;
}

PulseTargets SeatAlgorithm::commandTargets(float x, float y, float z, float angle, std::int32_t seatType,
                                           KinematicsTrace* trace) {
    KinematicsTrace steps;
    const PulseTargets targets = cranksAndTurntable(AxisPositions{x, y, z}, angle / kDegreesPerTurn, seatType, steps);
    if (trace != nullptr) *trace = steps;
    return targets;
}

PulseTargets SeatAlgorithm::homeTargets(std::int32_t seatType) {
    const SeatModel& m = modelParams(seatType);
    // The home posture's axis positions, as signed unit positions that are not mapped again.
    const AxisPositions axes = calculateAxes(m.Home.Pitch, m.Home.Roll, m.Home.Height);
    const auto home = [&m](float normPos) {
        const double position = static_cast<double>(normPos) + static_cast<double>(normPos) - 1.0;
        return truncateToPulse(lengthToPulse(position, m.LinkLength, m.CrankRadius, m.PulsesPerHalfTurn));
    };
    const float turns = (m.Home.Yaw + m.Home.Yaw) / kDegreesPerTurn;
    return PulseTargets{home(axes.x), home(axes.y), home(axes.z), truncateToPulse(turns * rotationScale(m))};
}

} // namespace karvel
