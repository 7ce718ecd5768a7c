#include "SeatMotion.h"

#include <cmath>

namespace KarvelCueEvaluation {

namespace {
constexpr double kRadiansPerDegree = 3.141592653589793 / 180.0;
} // namespace

std::array<double, 3> TiltedSpecificForce(double RollDegrees, double PitchDegrees, double Lift) {
    // Gravity as the tilted seat feels it, scaled by how much the upward
    // acceleration adds to it.
    const KarvelCueing::Vec3 gravity = KarvelCueing::GravityFelt(RollDegrees, PitchDegrees);
    const double scale = (KarvelCueing::StandardGravity + Lift) / KarvelCueing::StandardGravity;
    return {gravity.X * scale, gravity.Y * scale, gravity.Z * scale};
}

SeatMotion::SeatMotion(double Step, double StrokeMetres) : Dt(Step), Stroke(StrokeMetres) {
    Rest(Last);
}

void SeatMotion::Rest(const KarvelCueing::SeatPose& Pose) {
    Last = Pose;
    LastHeightRate = 0;
    Force = TiltedSpecificForce(Pose.Roll, Pose.Pitch, 0.0);
    Spin = {0, 0, 0};
}

void SeatMotion::Step(const KarvelCueing::SeatPose& Pose) {
    // Rates over the step, as the envelope moves the seat (position += velocity * step).
    const double rollRate = (Pose.Roll - Last.Roll) / Dt;
    const double pitchRate = (Pose.Pitch - Last.Pitch) / Dt;
    const double yawRate = (Pose.Yaw - Last.Yaw) / Dt;
    const double heightRate = (Pose.Height - Last.Height) / Dt;
    const double lift = (heightRate - LastHeightRate) / Dt * Stroke;

    // Body rates from the rates of yaw, pitch and roll taken in that order.
    const double roll = Pose.Roll * kRadiansPerDegree, pitch = Pose.Pitch * kRadiansPerDegree;
    const double sr = std::sin(roll), cr = std::cos(roll), sp = std::sin(pitch), cp = std::cos(pitch);
    Spin = {rollRate - yawRate * sp, pitchRate * cr + yawRate * sr * cp, -pitchRate * sr + yawRate * cr * cp};
    Force = TiltedSpecificForce(Pose.Roll, Pose.Pitch, lift);

    Last = Pose;
    LastHeightRate = heightRate;
}

} // namespace KarvelCueEvaluation
