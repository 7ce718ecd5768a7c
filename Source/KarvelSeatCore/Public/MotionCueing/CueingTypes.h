// Values that enter and leave the motion cueing core, and what their axes,
// units and signs mean. Everything else in the core refers back to this.
//
// Vehicle frame (the engine's axes, attached to the vehicle):
//   X forward, Y right, Z up.
//   Acceleration: m/s^2, the vehicle's own acceleration with gravity left out
//     (a car at rest or at constant speed on a slope reads 0, 0, 0).
//     +X speeding up, -X braking; +Y the vehicle is pushed to its right
//     (the centre of a right turn), +Z pushed upwards (the start of a bump).
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
//   +X acceleration -> +Pitch: pressed back into the seat when speeding up;
//   -X (braking)    -> -Pitch: tipped forward into the belts.
//   +Y acceleration (a right turn) -> -Roll: the left side goes down, so the
//     rider is pushed outward, to the left; a left turn gives +Roll.
//   +Z acceleration -> the seat rises, then settles back to its neutral height.
//   Roll, pitch and yaw rates -> a brief rotation the same way, which washes
//     back to neutral while the rate holds.
#pragma once

namespace KarvelCueing {

struct Vec3 {
    double X = 0, Y = 0, Z = 0;
};

struct VehicleMotion {
    Vec3 Acceleration;    // m/s^2, gravity excluded, vehicle frame
    Vec3 AngularVelocity; // deg/s: X roll rate, Y pitch rate, Z yaw rate
};

struct SeatPose {
    double Pitch = 0, Roll = 0, Yaw = 0, Height = 0.5;
};

// Standard gravity, m/s^2: tilting the seat by asin(a / g) lets gravity stand
// in for a sustained acceleration a.
constexpr double StandardGravity = 9.80665;

// Longest time step the core lets pass at once. A longer step (a hitch of
// seconds, a breakpoint) counts as this long, so the seat never moves further
// between two outputs than its limits allow in this time.
constexpr double MaxStepSeconds = 0.1;

} // namespace KarvelCueing
