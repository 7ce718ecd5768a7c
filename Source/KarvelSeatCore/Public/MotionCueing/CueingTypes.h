// Values that enter and leave the motion cueing core, and what their axes,
// units and signs mean. Everything else in the core refers back to this.
//
// Vehicle frame (the engine's axes, attached to the vehicle):
//   X forward, Y right, Z up.
//   SpecificForce: m/s^2, what an accelerometer in the vehicle reads: the
//     vehicle's acceleration less gravity, in its own frame. At rest and level
//     it reads 0, 0, +9.81; parked nose up it reads +g sin(pitch) forward; in a
//     coordinated (banked) turn it points straight down through the seat, so Y
//     is 0. +X speeding up (or nose up), -X braking; +Y the vehicle is pushed
//     to its right (the centre of a right turn); Z above g, pushed upwards (the
//     start of a bump). A game that knows its acceleration a (without gravity)
//     and its attitude adds GravityFelt(roll, pitch) to it.
//   AngularVelocity: deg/s, the rates of the engine's rotator angles:
//     X = roll rate  (+ rolls the right side down),
//     Y = pitch rate (+ raises the nose),
//     Z = yaw rate   (+ turns the heading to the right, from X towards Y).
//
// Seat posture (what SendPosture takes):
//   Pitch, degrees, + raises the front of the seat: the rider leans back.
//   Roll, degrees, + raises the left side: the rider leans to the right.
//   Yaw, degrees, the turntable; + turns the same way as + yaw rate.
//   Height, 0 (bottom of the stroke) to 1 (top).
//
// What the core makes of it (with positive gains):
//   +X force -> +Pitch: gravity pulls the rider back into the seat as the
//     vehicle pushes him when speeding up; -X (braking) -> -Pitch: tipped
//     forward into the belts.
//   +Y force (a right turn) -> -Roll: the left side goes down, so the rider is
//     pushed outward, to the left; a left turn gives +Roll.
//   Z above g -> the seat rises, then settles back to its neutral height.
//   Roll, pitch and yaw rates -> a rotation the same way, which washes back to
//     neutral while the rate holds.
#pragma once

#include <cmath>

namespace KarvelCueing {

struct Vec3 {
    double X = 0, Y = 0, Z = 0;
};

// Standard gravity, m/s^2: tilting the seat by asin(a / g) lets gravity stand
// in for a sustained force a.
constexpr double StandardGravity = 9.80665;

struct VehicleMotion {
    Vec3 SpecificForce{0, 0, StandardGravity}; // m/s^2, gravity included, vehicle frame: at rest, level
    Vec3 AngularVelocity;                      // deg/s: X roll rate, Y pitch rate, Z yaw rate
};

// What an accelerometer reads at rest in a vehicle rolled by RollDegrees
// (+ right side down) and pitched by PitchDegrees (+ nose up): gravity seen
// from the vehicle, (g sin pitch, -g sin roll cos pitch, g cos roll cos pitch).
// Added to an acceleration without gravity it gives the specific force.
inline Vec3 GravityFelt(double RollDegrees, double PitchDegrees) {
    const double radiansPerDegree = 3.141592653589793 / 180.0;
    const double roll = RollDegrees * radiansPerDegree, pitch = PitchDegrees * radiansPerDegree;
    return {StandardGravity * std::sin(pitch), -StandardGravity * std::sin(roll) * std::cos(pitch),
            StandardGravity * std::cos(roll) * std::cos(pitch)};
}

struct SeatPose {
    double Pitch = 0, Roll = 0, Yaw = 0, Height = 0.5;
};

// Longest time step the core lets pass at once. A longer step (a hitch of
// seconds, a breakpoint) counts as this long, so the seat never moves further
// between two outputs than its limits allow in this time.
constexpr double MaxStepSeconds = 0.1;

} // namespace KarvelCueing
