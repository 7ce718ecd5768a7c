// The seat's platform as its drive sees it. Pitch, roll and height are mixed
// into the positions of the three support axes X, Y and Z (0 bottom of the
// stroke, 1 top), as the library mixes them, and each axis is driven by a crank
// whose angle (0 at the bottom of the stroke, pi at the top) is what the pulse
// targets count: pulses = angle / pi * PulsesPerHalfTurn. Near either end of
// the stroke a small move of the axis turns the crank far: the angle's slope
// grows without bound there.
#pragma once

#include "SeatCoreApi.h"

#include <array>

#include "SeatModels/SeatModel.h"

namespace KarvelCueing {

// Pitch (deg), roll (deg) and height; or the axes X, Y and Z; or their rates.
using PlatformVector = std::array<double, 3>;

// Degrees of pitch or roll that move an axis by a whole stroke: 15 degrees is
// full deflection, which moves an axis by half of it.
constexpr double DegreesPerStroke = 30.0;

// X = h + pitch/30 + roll/30, Y = h + pitch/30 - roll/30, Z = h - pitch/30.
// Linear without offset, so it maps rates to rates as well.
KARVELSEATCORE_API PlatformVector AxisPositions(const PlatformVector& Posture);
KARVELSEATCORE_API PlatformVector PostureOf(const PlatformVector& Axes);

// One support axis's crank: the angle as a function of the axis position and
// its first two derivatives. The slope is least, and the curvature changes
// sign, at Inflection(); the slope grows, and the curvature's magnitude grows,
// monotonically from there towards either end of the stroke.
class KARVELSEATCORE_API CrankCurve {
public:
    explicit CrankCurve(const KarvelSeat::SeatModel& Model);
    double Angle(double Position) const;     // rad
    double Slope(double Position) const;     // rad per stroke; infinite at either end
    double Curvature(double Position) const; // rad per stroke^2; infinite at either end
    double Inflection() const { return Flattest; }

private:
    double Cosine(double Position, double& Length) const;

    double Link, Crank, Bottom; // lengths; Bottom is the axis length at the bottom of the stroke
    double Flattest = 0.5;
};

} // namespace KarvelCueing
