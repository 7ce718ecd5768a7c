#include "SeatInverse.h"

#include <algorithm>
#include <cctype>
#include <cmath>

namespace karvel::sim {

const CrankModel kTamsel{"Tamsel", 200.0, 90.0, 180000.0};
const CrankModel kOrvida{"Orvida", 185.0, 50.0, 120000.0};

namespace {

constexpr double kPi = 3.141592653589793;
constexpr double kFullDeflection = 15.0;  // degrees of pitch or roll
constexpr double kUPulsesPerDegree = 840000.0 / 180.0;

// The crank's rotation away from the bottom (pulses as a fraction of half a
// turn) gives the axis length by the law of cosines, and that the position.
double pulseToPosition(const CrankModel& model, std::int32_t pulse) {
    const double fraction = std::clamp(pulse / model.pulsesPerHalfTurn, 0.0, 1.0);
    const double c = std::cos(fraction * kPi);
    const double r = model.crankRadius;
    const double l = model.linkLength;
    const double length = -r * c + std::sqrt(r * r * c * c - r * r + l * l);
    return (length - (l - r)) / (2.0 * r);
}

void note(std::string& text, const std::string& why) {
    if (!text.empty()) text += "; ";
    text += why;
}

} // namespace

const CrankModel* findModel(const std::string& name) {
    std::string lower = name;
    std::transform(lower.begin(), lower.end(), lower.begin(), [](unsigned char ch) { return std::tolower(ch); });
    if (lower == "tamsel") return &kTamsel;
    if (lower == "orvida") return &kOrvida;
    return nullptr;
}

DecodedPosture invertTargets(const CrankModel& model, const AxisTargets& targets) {
    DecodedPosture result;
    const std::int32_t pulses[3] = {targets.x, targets.y, targets.z};
    static const char* const names[3] = {"X", "Y", "Z"};
    for (int i = 0; i < 3; ++i) {
        result.axis[i] = pulseToPosition(model, pulses[i]);
        if (pulses[i] < 0 || pulses[i] > model.pulsesPerHalfTurn)
            note(result.ambiguity, std::string(names[i]) + " outside the stroke (taken as its end)");
        else if (pulses[i] == 0)
            note(result.ambiguity, std::string(names[i]) + " at the bottom of its stroke");
        else if (pulses[i] == static_cast<std::int32_t>(model.pulsesPerHalfTurn))
            note(result.ambiguity, std::string(names[i]) + " at the top of its stroke");
    }
    // X = h + p/2 + r/2, Y = h + p/2 - r/2, Z = h - p/2 (p, r in units of full deflection).
    const double x = result.axis[0], y = result.axis[1], z = result.axis[2];
    result.roll = kFullDeflection * (x - y);
    result.pitch = kFullDeflection * ((x + y) / 2.0 - z);
    result.height = ((x + y) / 2.0 + z) / 2.0;
    result.yaw = targets.u / kUPulsesPerDegree;
    if (std::abs(result.pitch) >= kFullDeflection - 1e-3) note(result.ambiguity, "pitch at full deflection");
    if (std::abs(result.roll) >= kFullDeflection - 1e-3) note(result.ambiguity, "roll at full deflection");
    if (!result.ambiguity.empty()) result.ambiguity += ": a limited request gives the same frame";
    return result;
}

} // namespace karvel::sim
