// The cueing of Karvel 0.6, kept as a baseline for the cue-quality benchmark:
// the acceleration without gravity, low-passed (0.5 Hz road, 0.3 Hz flight)
// into a tilt of gain * asin(a / g) turned at no more than 3 (4) deg/s;
// each rate high-passed and integrated into a brief rotation; heave
// high-passed and integrated twice; all through the same envelope as the
// core's (position, velocity, acceleration per axis). Its values are those
// of its road and flight presets.
#pragma once

#include <array>

#include "MotionCueing.h"

namespace karvel::bench {

struct PreviousPreset {
    double tiltGain, tiltFrequency, tiltLimit, tiltRate;
    double rollRateGain, pitchRateGain, yawRateGain;
    double rollWashout, pitchWashout, yawWashout;
    double heaveGain, heaveWashout, heaveReturn;
    // The envelope: pitch, roll, yaw (limit, velocity, acceleration), then height (min, max, velocity, acceleration).
    double pitchLimit, pitchVelocity, pitchAcceleration;
    double rollLimit, rollVelocity, rollAcceleration;
    double yawLimit, yawVelocity, yawAcceleration;
    double heightMin, heightMax, heightVelocity, heightAcceleration;
};

const PreviousPreset& previousRoad();
const PreviousPreset& previousFlight();

class PreviousCueing {
public:
    PreviousCueing(const PreviousPreset& preset, double neutralHeight);
    // acceleration: m/s^2 without gravity; rates: deg/s (roll, pitch, yaw).
    KarvelCueing::SeatPose step(double dt, const std::array<double, 3>& acceleration,
                                const std::array<double, 3>& rates);

private:
    PreviousPreset p_;
    double neutral_;
    KarvelCueing::LowPass2 surgeLow_, swayLow_;
    KarvelCueing::RateLimiter pitchTilt_, rollTilt_;
    KarvelCueing::HighPass2 rollOnset_, pitchOnset_, yawOnset_, heaveOnset_;
    KarvelCueing::LeakyIntegrator rollAngle_, pitchAngle_, yawAngle_, heaveSpeed_, heaveTravel_;
    KarvelCueing::AxisEnvelope pitch_, roll_, yaw_, height_;
};

} // namespace karvel::bench
