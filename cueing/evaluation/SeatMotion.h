// What a rider in the seat undergoes, from the postures the seat is sent at a
// fixed step: the specific force (gravity as the seat's tilt turns it, plus
// the vertical acceleration of the seat's travel over its physical stroke)
// and the angular velocity (from the rates of pitch, roll and yaw), in the
// seat's own frame with the cueing core's axes and signs.
//
// The rider's head is taken to sit on the axes the seat turns about (the
// small accelerations of a head above them are left out), and the turntable
// to carry the tilting platform: yaw, then pitch, then roll.
#pragma once

#include <array>

#include "CueingTypes.h"

namespace KarvelCueEvaluation {

class SeatMotion {
public:
    // Dt: the step between postures; StrokeMetres: the seat's travel from
    // height 0 to height 1.
    SeatMotion(double Dt, double StrokeMetres);

    // The seat stands at Pose, at rest (before the first Step).
    void Rest(const KarvelCueing::SeatPose& Pose);
    // The next posture; the motion between the last one and it.
    void Step(const KarvelCueing::SeatPose& Pose);

    const std::array<double, 3>& SpecificForce() const { return Force; }      // m/s^2
    const std::array<double, 3>& AngularVelocity() const { return Spin; }     // deg/s: roll, pitch, yaw rate

private:
    double Dt;
    double Stroke;
    KarvelCueing::SeatPose Last;
    double LastHeightRate = 0; // height units per second
    std::array<double, 3> Force{};
    std::array<double, 3> Spin{};
};

// Gravity as felt in a frame tilted by Roll and Pitch (deg; roll + right side
// down, pitch + nose up), with Lift (m/s^2, the frame's upward acceleration)
// added to it: (G sin pitch, -G sin roll cos pitch, G cos roll cos pitch)
// with G = standard gravity + Lift.
std::array<double, 3> TiltedSpecificForce(double RollDegrees, double PitchDegrees, double Lift);

} // namespace KarvelCueEvaluation
