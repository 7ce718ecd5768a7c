#include "SeatHost/PostureRules.h"

#include <cmath>

namespace KarvelSeat {

namespace {

float Limit(float Value, float Low, float High) {
    if (!(Value < High)) Value = High;
    if (Value < Low) Value = Low;
    return Value;
}

} // namespace

bool IsFinite(const Posture& Requested) {
    return std::isfinite(Requested.Pitch) && std::isfinite(Requested.Roll) && std::isfinite(Requested.Yaw) &&
           std::isfinite(Requested.Height);
}

Posture ClampPosture(const Posture& Requested) {
    return Posture{Limit(Requested.Pitch, -MaxTiltDegrees, MaxTiltDegrees),
                   Limit(Requested.Roll, -MaxTiltDegrees, MaxTiltDegrees),
                   Limit(Requested.Yaw, -MaxYawDegrees, MaxYawDegrees), Limit(Requested.Height, 0.0f, 1.0f)};
}

double NormalizeDegrees(double Degrees) {
    double Angle = std::fmod(Degrees, 360.0);
    if (!(Angle >= 0.0)) Angle += 360.0;
    if (Angle > 180.0) Angle -= 360.0;
    return Angle;
}

Posture RotatorPosture(double Pitch, double Yaw, double Roll, float Height, float PitchSign, float RollSign,
                       float YawSign) {
    return Posture{static_cast<float>(NormalizeDegrees(Pitch)) * PitchSign,
                   static_cast<float>(NormalizeDegrees(Roll)) * RollSign,
                   static_cast<float>(NormalizeDegrees(Yaw)) * YawSign, Height};
}

} // namespace KarvelSeat
