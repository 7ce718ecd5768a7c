// Follows a target with bounded velocity and acceleration and never
// overshoots a target at rest: the velocity towards the target is held to
// what can still be braked to zero before reaching it, whatever the lengths of
// the following steps. The position moves by the new velocity times the step,
// so (change of position) / step never exceeds MaxVelocity and the change of
// that between two steps, divided by the step, never exceeds MaxAcceleration.
// Lowered limits take effect by braking at the new MaxAcceleration: a velocity
// above the new MaxVelocity comes down to it, never jumps.
#pragma once

#include "SeatCoreApi.h"

namespace KarvelCueing {

class KARVELSEATCORE_API RateLimiter {
public:
    void SetLimits(double MaxVelocity, double MaxAcceleration);
    double Step(double Dt, double Target); // Dt > 0
    void Reset(double At);                 // at rest at At
    double Position() const { return P; }
    double Velocity() const { return V; }
    bool AtRestOn(double Target) const; // within 1e-9 of it, slower than 1e-6 per second

    // The velocity of the next step (Dt > 0) from Position moving at Velocity:
    // the rule above, for whoever keeps the position itself.
    static double NextVelocity(double Position, double Velocity, double Target, double Dt, double MaxVelocity,
                               double MaxAcceleration);
    static bool AtRestOn(double Position, double Velocity, double Target);

private:
    double VMax = 1, AMax = 1;
    double P = 0, V = 0;
};

} // namespace KarvelCueing
