#include "MotionCueing/RateLimiter.h"

#include <algorithm>
#include <cmath>

namespace KarvelCueing {

void RateLimiter::SetLimits(double MaxVelocity, double MaxAcceleration) {
    VMax = MaxVelocity;
    AMax = MaxAcceleration;
}

double RateLimiter::NextVelocity(double Position, double Velocity, double Target, double Dt, double MaxVelocity,
                                 double MaxAcceleration) {
    const double gap = Target - Position;
    const double distance = std::abs(gap);
    // Fastest speed towards the target that still brakes to rest before it,
    // braking by MaxAcceleration * step in each later step of any length:
    // v (v + 2 a h) <= 2 a d. (With a plain v^2 <= 2 a d a shorter step after a
    // longer one could not brake hard enough.)
    const double brake = MaxAcceleration * Dt;
    const double safe = std::sqrt(brake * brake + 2.0 * MaxAcceleration * distance) - brake;
    const double reach = std::min({MaxVelocity, safe, distance / Dt});
    const double wanted = gap < 0 ? -reach : reach;
    const double next = std::clamp(wanted, Velocity - brake, Velocity + brake);
    // Above a lowered MaxVelocity the speed comes down by one braking step.
    const double ceiling = std::max(MaxVelocity, std::abs(Velocity) - brake);
    return std::clamp(next, -ceiling, ceiling);
}

double RateLimiter::Step(double Dt, double Target) {
    V = NextVelocity(P, V, Target, Dt, VMax, AMax);
    P += V * Dt;
    return P;
}

bool RateLimiter::AtRestOn(double Position, double Velocity, double Target) {
    // The approach converges quadratically and ends on the target or within
    // rounding of it; far below anything a seat resolves.
    return std::abs(Position - Target) <= 1e-9 && std::abs(Velocity) <= 1e-6;
}

bool RateLimiter::AtRestOn(double Target) const {
    return AtRestOn(P, V, Target);
}

void RateLimiter::Reset(double At) {
    P = At;
    V = 0;
}

} // namespace KarvelCueing
