// A ride that ends in a crash, as a game's physics reports it: 3 s of driving
// through a bend, then an impact (a hard deceleration, a sideways blow, a jolt
// up) with the car spinning and rolling over, dying away over 1.5 s, then
// rest. Given as specific force: the acceleration plus gravity as felt in a
// level vehicle. Used by the core's tests and, as a telemetry file, by karvel's.
#pragma once

#include <cmath>

#include "MotionCueing.h"

namespace KarvelCueingTest {

constexpr double kCrashRideSeconds = 6.0;

inline KarvelCueing::VehicleMotion CrashRideAt(double T) {
    constexpr double pi = 3.141592653589793;
    KarvelCueing::VehicleMotion m;
    if (T < 3) {
        m.SpecificForce = {1.5, 4 * std::sin(pi * T / 3), KarvelCueing::StandardGravity + 0.5 * std::sin(9 * T)};
        m.AngularVelocity = {3 * std::sin(2 * T), 1, 25 * std::sin(pi * T / 3)};
    } else if (T < 4.5) {
        const double s = T - 3;
        const double fade = std::exp(-2 * s);
        m.SpecificForce = {s < 0.15 ? -70.0 : -8 * fade, 30 * std::sin(2 * pi * 4 * s) * fade,
                          s < 0.1 ? 35.0 : -15 * std::sin(2 * pi * 3 * s) * fade};
        m.SpecificForce.Z += KarvelCueing::StandardGravity;
        m.AngularVelocity = {280 * std::sin(2 * pi * 1.5 * s) * fade, 160 * std::cos(2 * pi * 2 * s) * fade,
                             320 * fade};
    }
    return m;
}

} // namespace KarvelCueingTest
