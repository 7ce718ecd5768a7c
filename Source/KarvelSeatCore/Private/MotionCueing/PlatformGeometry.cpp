#include "MotionCueing/PlatformGeometry.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace KarvelCueing {

PlatformVector AxisPositions(const PlatformVector& Posture) {
    const double tilt = Posture[0] / DegreesPerStroke;
    const double lean = Posture[1] / DegreesPerStroke;
    return {Posture[2] + tilt + lean, Posture[2] + tilt - lean, Posture[2] - tilt};
}

PlatformVector PostureOf(const PlatformVector& Axes) {
    const double front = (Axes[0] + Axes[1]) / 2.0;
    return {(DegreesPerStroke / 2.0) * (front - Axes[2]), (DegreesPerStroke / 2.0) * (Axes[0] - Axes[1]),
            (front + Axes[2]) / 2.0};
}

CrankCurve::CrankCurve(const KarvelSeat::SeatModel& Model)
    : Link(Model.LinkLength), Crank(Model.CrankRadius), Bottom(Model.LinkLength - Model.CrankRadius) {
    // The curvature rises through zero once: find where.
    double lo = 0.01, hi = 0.99;
    for (int i = 0; i < 60; ++i) {
        const double mid = (lo + hi) / 2;
        (Curvature(mid) < 0 ? lo : hi) = mid;
    }
    Flattest = (lo + hi) / 2;
}

// The law of cosines for the crank's rotation away from the bottom: the cosine
// of (pi - angle), given the axis position; Length is the axis length.
double CrankCurve::Cosine(double Position, double& Length) const {
    Length = Bottom + 2.0 * Crank * Position;
    const double c = (Link * Link - Length * Length - Crank * Crank) / (2.0 * Crank * Length);
    return std::clamp(c, -1.0, 1.0);
}

double CrankCurve::Angle(double Position) const {
    double length = 0;
    return std::acos(Cosine(Position, length));
}

double CrankCurve::Slope(double Position) const {
    double d = 0;
    const double c = Cosine(Position, d);
    const double sine2 = 1.0 - c * c;
    if (sine2 <= 0) return std::numeric_limits<double>::infinity();
    return (1.0 + (Link * Link - Crank * Crank) / (d * d)) / std::sqrt(sine2);
}

double CrankCurve::Curvature(double Position) const {
    double d = 0;
    const double c = Cosine(Position, d);
    const double sine2 = 1.0 - c * c;
    if (sine2 <= 0) return c > 0 ? -std::numeric_limits<double>::infinity() : std::numeric_limits<double>::infinity();
    const double spread = Link * Link - Crank * Crank;
    const double f = 1.0 + spread / (d * d);
    const double df = -2.0 * spread / (d * d * d) * 2.0 * Crank; // per stroke
    const double g = 1.0 / std::sqrt(sine2);
    return df * g - c * f * f * g * g * g;
}

} // namespace KarvelCueing
