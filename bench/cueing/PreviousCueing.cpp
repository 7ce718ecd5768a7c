#include "PreviousCueing.h"

#include <algorithm>
#include <cmath>

namespace karvel::bench {

namespace {

double tiltFor(double acceleration, double gain, double limit) {
    const double sine = std::clamp(acceleration / KarvelCueing::StandardGravity, -1.0, 1.0);
    return std::clamp(gain * std::asin(sine) * 180.0 / 3.141592653589793, -limit, limit);
}

} // namespace

const PreviousPreset& previousRoad() {
    static const PreviousPreset road{0.8, 0.5, 10, 3,  0.8, 0.8, 0.6, 0.3, 0.3, 0.2, 2, 0.5, 0.3,
                                     15,  30,  250, 15, 30,  250, 30,  90,  300, 0, 1, 1.5, 10};
    return road;
}

const PreviousPreset& previousFlight() {
    static const PreviousPreset flight{1.0, 0.3, 15, 4,  1.2, 1.2, 0.8, 0.15, 0.15, 0.12, 3, 0.3, 0.2,
                                       15,  40,  250, 15, 40,  250, 35,  110, 400,  0,    1, 1.5, 10};
    return flight;
}

PreviousCueing::PreviousCueing(const PreviousPreset& preset, double neutralHeight) : p_(preset), neutral_(neutralHeight) {
    surgeLow_.SetFrequency(p_.tiltFrequency);
    swayLow_.SetFrequency(p_.tiltFrequency);
    pitchTilt_.SetLimits(p_.tiltRate, p_.pitchAcceleration);
    rollTilt_.SetLimits(p_.tiltRate, p_.rollAcceleration);
    rollOnset_.SetFrequency(p_.rollWashout);
    pitchOnset_.SetFrequency(p_.pitchWashout);
    yawOnset_.SetFrequency(p_.yawWashout);
    heaveOnset_.SetFrequency(p_.heaveWashout);
    heaveSpeed_.SetLeakFrequency(p_.heaveReturn);
    pitchTilt_.Reset(0);
    rollTilt_.Reset(0);
    pitch_.SetLimits(-p_.pitchLimit, p_.pitchLimit, p_.pitchVelocity, p_.pitchAcceleration);
    roll_.SetLimits(-p_.rollLimit, p_.rollLimit, p_.rollVelocity, p_.rollAcceleration);
    yaw_.SetLimits(-p_.yawLimit, p_.yawLimit, p_.yawVelocity, p_.yawAcceleration);
    height_.SetLimits(p_.heightMin, p_.heightMax, p_.heightVelocity, p_.heightAcceleration);
    pitch_.Reset(0);
    roll_.Reset(0);
    yaw_.Reset(0);
    height_.Reset(neutralHeight);
}

KarvelCueing::SeatPose PreviousCueing::step(double h, const std::array<double, 3>& a, const std::array<double, 3>& w) {
    const double pitchTilt = pitchTilt_.Step(h, tiltFor(surgeLow_.Step(h, a[0]), p_.tiltGain, p_.tiltLimit));
    const double rollTilt = rollTilt_.Step(h, -tiltFor(swayLow_.Step(h, a[1]), p_.tiltGain, p_.tiltLimit));
    const double rollOnset = p_.rollRateGain * rollAngle_.Step(h, rollOnset_.Step(h, w[0]));
    const double pitchOnset = p_.pitchRateGain * pitchAngle_.Step(h, pitchOnset_.Step(h, w[1]));
    const double yawOnset = p_.yawRateGain * yawAngle_.Step(h, yawOnset_.Step(h, w[2]));
    const double heave = p_.heaveGain * heaveTravel_.Step(h, heaveSpeed_.Step(h, heaveOnset_.Step(h, a[2])));
    return {pitch_.Step(h, pitchTilt + pitchOnset), roll_.Step(h, rollTilt + rollOnset), yaw_.Step(h, yawOnset),
            height_.Step(h, neutral_ + heave)};
}

} // namespace karvel::bench
