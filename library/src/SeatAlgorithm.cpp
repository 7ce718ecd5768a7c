#include "SeatAlgorithm.h"

#include <cmath>
#include <limits>

#include "LogSink.h"

namespace karvel {
namespace {

constexpr SeatModelParams kOrvida{185.0f, 50.0f, 120000.0f, 168.0f, 0.0f, 0.0f, 0.0f, 0.0f};
constexpr SeatModelParams kTamsel{200.0f, 90.0f, 180000.0f, 168.0f, 0.0f, -1.0f, -1.0f, -1.0f};

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

float rotationScale(const SeatModelParams& model) {
    return (model.rotationRatio * kRotationPulsesFactor) * kMixWeight;
}

} // namespace

const SeatModelParams& SeatAlgorithm::modelParams(std::int32_t seatType) {
    return seatType == kOrvidaModel ? kOrvida : kTamsel;
}

std::int32_t SeatAlgorithm::truncateToPulse(double value) {
    if (std::isnan(value)) return 0;
    if (value >= 2147483647.0) return std::numeric_limits<std::int32_t>::max();
    if (value <= -2147483648.0) return std::numeric_limits<std::int32_t>::min();
    return static_cast<std::int32_t>(value);
}

AxisPositions SeatAlgorithm::calculateAxes(float pitch, float roll, float height) {
    logLine(kLogDebug, "[Ridova][DEBUG] SeatAlgorithm::calculateAxes input: pitch=%.2f, roll=%.2f, height=%.2f",
            pitch, roll, height);
    float p = pitch / kFullDeflectionDegrees;
    float r = roll / kFullDeflectionDegrees;
    const float h = limit(height, 0.0f, 1.0f);
    p = limit(p, -1.0f, 1.0f);
    r = limit(r, -1.0f, 1.0f);
    const float hp = p * kMixWeight;
    const float hr = r * kMixWeight;
    const float s = hp + h;
    const AxisPositions positions{limit(s + hr, 0.0f, 1.0f), limit(s - hr, 0.0f, 1.0f), limit(h - hp, 0.0f, 1.0f)};
    logLine(kLogDebug, "[Ridova][DEBUG] SeatAlgorithm::calculateAxes output: %.2f, %.2f, %.2f", positions.x,
            positions.y, positions.z);
    return positions;
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

std::int32_t SeatAlgorithm::calculatePulse(float normPos, std::int32_t seatType) {
    const SeatModelParams& model = modelParams(seatType);
    const double position = static_cast<double>(normPos) + static_cast<double>(normPos) - 1.0;
    const double value = lengthToPulse(position, model.linkLength, model.crankRadius, model.pulsesPerHalfTurn);
    const std::int32_t pulse = truncateToPulse(value);
    logLine(kLogDebug, "[Ridova][DEBUG] SeatAlgorithm::calculatePulse [type=%d] normPos=%.2f -> length=%.2f -> pulse=%d",
            seatType, normPos, position, pulse);
    return pulse;
}

std::int32_t SeatAlgorithm::calculateRotationPulse(float uTurns, std::int32_t seatType) {
    const float value = rotationScale(modelParams(seatType)) * uTurns;
    const std::int32_t pulse = truncateToPulse(value);
    logLine(kLogDebug, "[Ridova][DEBUG] SeatAlgorithm::calculateRotationPulse [type=%d] uTurns=%.2f -> pulse=%d",
            seatType, uTurns, pulse);
    return pulse;
}

PulseTargets SeatAlgorithm::postureTargets(float pitch, float roll, float yaw, float height, std::int32_t seatType) {
    const AxisPositions axes = calculateAxes(pitch, roll, height);
    PulseTargets targets{};
    targets.x = calculatePulse(axes.x, seatType);
    targets.y = calculatePulse(axes.y, seatType);
    targets.z = calculatePulse(axes.z, seatType);
    targets.u = calculateRotationPulse((yaw + yaw) / kDegreesPerTurn, seatType);
    return targets;
}

PulseTargets SeatAlgorithm::commandTargets(float x, float y, float z, float angle, std::int32_t seatType) {
    PulseTargets targets{};
    targets.x = calculatePulse(x, seatType);
    targets.y = calculatePulse(y, seatType);
    targets.z = calculatePulse(z, seatType);
    targets.u = calculateRotationPulse(angle / kDegreesPerTurn, seatType);
    return targets;
}

PulseTargets SeatAlgorithm::homeTargets(std::int32_t seatType) {
    const SeatModelParams& m = modelParams(seatType);
    const auto home = [&m](float position) {
        return truncateToPulse(lengthToPulse(position, m.linkLength, m.crankRadius, m.pulsesPerHalfTurn));
    };
    const float turns = (m.homeYaw + m.homeYaw) / kDegreesPerTurn;
    return PulseTargets{home(m.homeX), home(m.homeY), home(m.homeZ), truncateToPulse(turns * rotationScale(m))};
}

} // namespace karvel
