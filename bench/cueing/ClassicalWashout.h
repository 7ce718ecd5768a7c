// The reference the cue-quality benchmark measures the core against: the
// textbook classical washout (Reid and Nahon, 1985; Nahon and Reid, 1990),
// fed specific force, cut down to what this seat can do (no surge or sway
// travel: pitch, roll, heave and the turntable):
//
//   heave:  k (fz - g) -> s^2/(s^2 + 2 z w s + w^2) * s/(s + wb) -> two
//           integrations -> height over the seat's stroke;
//   tilt:   k fx, k fy -> w^2/(s^2 + 2 z w s + w^2) -> asin(f / g) as pitch
//           (+fx) and roll (-fy), turned at no more than 3 deg/s;
//   rotation: k * rate -> s^2/(s^2 + 2 z w s + w^2) -> integration, per axis;
//
// with z = 1 throughout and the values below, then through an envelope with
// the same position, velocity and acceleration limits as the profile it is
// compared with.
#pragma once

#include <array>

#include "MotionCueing.h"

namespace karvel::bench {

struct ClassicalSettings {
    double forceScale = 0.6;      // k of heave and tilt
    double heaveBreak = 2.0;      // w, rad/s
    double heaveReturn = 0.2;     // wb, rad/s
    double tiltBreak = 2.0;       // w of the tilt's low-pass, rad/s
    double tiltRate = 3.0;        // deg/s
    double rotationScale = 0.6;   // k of the rates
    double rotationBreak = 1.0;   // w, rad/s
};

class ClassicalWashout {
public:
    // Limits: the envelope's (the tilt is also held within the pitch and roll limits).
    ClassicalWashout(const ClassicalSettings& settings, const KarvelCueing::CueingProfile& limits,
                     double strokeMetres, double neutralHeight);
    KarvelCueing::SeatPose step(double dt, const std::array<double, 3>& specificForce,
                                const std::array<double, 3>& rates);

private:
    ClassicalSettings s_;
    double stroke_;
    double neutral_;
    KarvelCueing::HighPass2 heaveHigh_;
    KarvelCueing::LeakyIntegrator heaveLow_; // u / (s + wb), for the first-order high-pass
    KarvelCueing::LeakyIntegrator heaveSpeed_, heaveTravel_;
    KarvelCueing::LowPass2 surgeLow_, swayLow_;
    KarvelCueing::RateLimiter pitchTilt_, rollTilt_;
    std::array<KarvelCueing::HighPass2, 3> rotationHigh_;
    std::array<KarvelCueing::LeakyIntegrator, 3> rotationAngle_;
    KarvelCueing::AxisEnvelope pitch_, roll_, yaw_, height_;
    double tiltLimit_;
};

} // namespace karvel::bench
