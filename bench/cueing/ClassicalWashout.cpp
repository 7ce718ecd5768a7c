#include "ClassicalWashout.h"

#include <algorithm>
#include <cmath>

namespace karvel::bench {

namespace {

constexpr double kTwoPi = 2.0 * 3.141592653589793;
constexpr double kDegreesPerRadian = 180.0 / 3.141592653589793;

double tiltFor(double force, double limit) {
    const double sine = std::clamp(force / KarvelCueing::StandardGravity, -1.0, 1.0);
    return std::clamp(std::asin(sine) * kDegreesPerRadian, -limit, limit);
}

} // namespace

ClassicalWashout::ClassicalWashout(const ClassicalSettings& settings, const KarvelCueing::CueingProfile& limits,
                                   double strokeMetres, double neutralHeight)
    : s_(settings), stroke_(strokeMetres), neutral_(neutralHeight),
      tiltLimit_(std::min(limits.PitchLimit, limits.RollLimit)) {
    // The core's filters take their break in Hz.
    heaveHigh_.SetFrequency(s_.heaveBreak / kTwoPi);
    heaveLow_.SetLeakFrequency(s_.heaveReturn / kTwoPi);
    surgeLow_.SetFrequency(s_.tiltBreak / kTwoPi);
    swayLow_.SetFrequency(s_.tiltBreak / kTwoPi);
    pitchTilt_.SetLimits(s_.tiltRate, limits.PitchAcceleration);
    rollTilt_.SetLimits(s_.tiltRate, limits.RollAcceleration);
    pitchTilt_.Reset(0);
    rollTilt_.Reset(0);
    for (KarvelCueing::HighPass2& high : rotationHigh_) high.SetFrequency(s_.rotationBreak / kTwoPi);
    pitch_.SetLimits(-limits.PitchLimit, limits.PitchLimit, limits.PitchVelocity, limits.PitchAcceleration);
    roll_.SetLimits(-limits.RollLimit, limits.RollLimit, limits.RollVelocity, limits.RollAcceleration);
    yaw_.SetLimits(-limits.YawLimit, limits.YawLimit, limits.YawVelocity, limits.YawAcceleration);
    height_.SetLimits(limits.HeightMin, limits.HeightMax, limits.HeightVelocity, limits.HeightAcceleration);
    pitch_.Reset(0);
    roll_.Reset(0);
    yaw_.Reset(0);
    height_.Reset(neutralHeight);
}

KarvelCueing::SeatPose ClassicalWashout::step(double h, const std::array<double, 3>& f,
                                              const std::array<double, 3>& w) {
    const double k = s_.forceScale;
    // Heave: third-order high-pass of the vertical specific force, integrated twice.
    const double second = heaveHigh_.Step(h, k * (f[2] - KarvelCueing::StandardGravity));
    const double lowPart = heaveLow_.Step(h, second) * (s_.heaveReturn); // wb u / (s + wb)
    const double heaveAcceleration = second - lowPart;
    const double travel = heaveTravel_.Step(h, heaveSpeed_.Step(h, heaveAcceleration));

    // Tilt coordination: the low-passed specific force held by gravity.
    const double pitchTilt = pitchTilt_.Step(h, tiltFor(surgeLow_.Step(h, k * f[0]), tiltLimit_));
    const double rollTilt = rollTilt_.Step(h, -tiltFor(swayLow_.Step(h, k * f[1]), tiltLimit_));

    // Rotations: the high-passed rates, integrated.
    std::array<double, 3> angle{};
    for (int i = 0; i < 3; ++i)
        angle[i] = rotationAngle_[i].Step(h, rotationHigh_[i].Step(h, s_.rotationScale * w[i]));

    return {pitch_.Step(h, pitchTilt + angle[1]), roll_.Step(h, rollTilt + angle[0]), yaw_.Step(h, angle[2]),
            height_.Step(h, neutral_ + travel / stroke_)};
}

} // namespace karvel::bench
