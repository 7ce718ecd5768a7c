#include "SeatInverse.h"

#include <algorithm>
#include <cmath>

namespace karvel::sim {

namespace {

constexpr double kPi = 3.141592653589793;
constexpr double kFullDeflection = 15.0;  // degrees of pitch or roll

// The turntable's pulses per degree of the posture call's yaw: (ratio x 10000 x 0.5) per unit of
// (yaw + yaw) / 360, so 4666.67 at the models' ratio of 168.
double uPulsesPerDegree(const KarvelSeat::SeatModel& model) {
    return model.RotationRatio * 10000.0 * 0.5 * 2.0 / 360.0;
}

// The crank's rotation away from the bottom (pulses as a fraction of half a
// turn) gives the axis length by the law of cosines, and that the position.
double pulseToPosition(const KarvelSeat::SeatModel& model, std::int32_t pulse) {
    const double fraction = std::clamp(pulse / double{model.PulsesPerHalfTurn}, 0.0, 1.0);
    const double c = std::cos(fraction * kPi);
    const double r = model.CrankRadius;
    const double l = model.LinkLength;
    const double length = -r * c + std::sqrt(r * r * c * c - r * r + l * l);
    return (length - (l - r)) / (2.0 * r);
}

void note(std::string& text, const std::string& why) {
    if (!text.empty()) text += "; ";
    text += why;
}

} // namespace

DecodedPosture invertTargets(const KarvelSeat::SeatModel& model, const AxisTargets& targets) {
    DecodedPosture result;
    const std::int32_t pulses[3] = {targets.x, targets.y, targets.z};
    static const char* const names[3] = {"X", "Y", "Z"};
    for (int i = 0; i < 3; ++i) {
        result.axis[i] = pulseToPosition(model, pulses[i]);
        if (pulses[i] < 0 || pulses[i] > model.PulsesPerHalfTurn)
            note(result.ambiguity, std::string(names[i]) + " outside the stroke (taken as its end)");
        else if (pulses[i] == 0)
            note(result.ambiguity, std::string(names[i]) + " at the bottom of its stroke");
        else if (pulses[i] == static_cast<std::int32_t>(model.PulsesPerHalfTurn))
            note(result.ambiguity, std::string(names[i]) + " at the top of its stroke");
    }
    // X = h + p/2 + r/2, Y = h + p/2 - r/2, Z = h - p/2 (p, r in units of full deflection).
    const double x = result.axis[0], y = result.axis[1], z = result.axis[2];
    result.roll = kFullDeflection * (x - y);
    result.pitch = kFullDeflection * ((x + y) / 2.0 - z);
    result.height = ((x + y) / 2.0 + z) / 2.0;
    result.yaw = targets.u / uPulsesPerDegree(model);
    if (std::abs(result.pitch) >= kFullDeflection - 1e-3) note(result.ambiguity, "pitch at full deflection");
    if (std::abs(result.roll) >= kFullDeflection - 1e-3) note(result.ambiguity, "roll at full deflection");
    if (!result.ambiguity.empty()) result.ambiguity += ": a limited request gives the same frame";
    return result;
}

} // namespace karvel::sim
