#include "MotionCueing/AxisEnvelope.h"

#include <algorithm>

namespace KarvelCueing {

void AxisEnvelope::SetLimits(double Min, double Max, double MaxVelocity, double MaxAcceleration) {
    Lo = Min;
    Hi = Max;
    Motion.SetLimits(MaxVelocity, MaxAcceleration);
}

double AxisEnvelope::Clamp(double Value) const {
    return std::clamp(Value, Lo, Hi);
}

double AxisEnvelope::Step(double Dt, double Target) {
    return Motion.Step(Dt, Clamp(Target));
}

double AxisEnvelope::StepUnlimited(double Dt, double Target) {
    return Motion.Step(Dt, Target);
}

} // namespace KarvelCueing
