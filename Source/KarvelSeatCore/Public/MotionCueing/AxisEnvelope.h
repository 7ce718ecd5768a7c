// One axis of the safety envelope: a position range and the velocity and
// acceleration limits of a RateLimiter. Targets outside the range are taken
// at its nearest end, so the axis never leaves the range once inside it.
#pragma once

#include "SeatCoreApi.h"

#include "RateLimiter.h"

namespace KarvelCueing {

class KARVELSEATCORE_API AxisEnvelope {
public:
    void SetLimits(double Min, double Max, double MaxVelocity, double MaxAcceleration);
    double Step(double Dt, double Target);         // target limited to the range
    double StepUnlimited(double Dt, double Target); // e.g. parking to a home outside the range
    void Reset(double At) { Motion.Reset(At); }
    double Clamp(double Value) const;
    double Position() const { return Motion.Position(); }
    double Velocity() const { return Motion.Velocity(); }
    bool AtRestOn(double Target) const { return Motion.AtRestOn(Target); }

private:
    double Lo = 0, Hi = 0;
    RateLimiter Motion;
};

} // namespace KarvelCueing
