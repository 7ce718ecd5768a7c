// The checks every posture passes before it reaches the library, whichever host sends it.
#pragma once

#include "SeatCoreApi.h"
#include "SeatModels/SeatModel.h"

namespace KarvelSeat {

constexpr float MaxTiltDegrees = 15.0f; // pitch and roll, either way
constexpr float MaxYawDegrees = 180.0f; // the turntable, either way

// A NaN or an infinity (a division by zero in game maths) would be taken as full deflection: such a posture is
// not sent at all.
KARVELSEATCORE_API bool IsFinite(const Posture& Requested);

// Pitch and roll limited to +-15 degrees, yaw to +-180, height to 0..1. Each value is limited upper bound first
// with a less-than test, then lower bound, so that a NaN becomes the upper bound.
KARVELSEATCORE_API Posture ClampPosture(const Posture& Requested);

// An angle in degrees mapped to (-180, 180] as the engine's rotator normalises an axis: -180 becomes 180.
KARVELSEATCORE_API double NormalizeDegrees(double Degrees);

// A rotator's angles (degrees, in double precision as the engine keeps them) as a posture: each normalised,
// then in single precision multiplied by its sign factor, which calibrates the seat's axis directions against
// the game's. Not yet clamped.
KARVELSEATCORE_API Posture RotatorPosture(double Pitch, double Yaw, double Roll, float Height, float PitchSign = 1.0f,
                                          float RollSign = 1.0f, float YawSign = 1.0f);

} // namespace KarvelSeat
