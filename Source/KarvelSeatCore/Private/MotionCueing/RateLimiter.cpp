#include "MotionCueing/RateLimiter.h"

#include <algorithm>
#include <cmath>

namespace KarvelCueing {

void RateLimiter::SetLimits(double MaxVelocity, double MaxAcceleration) {
    VMax = MaxVelocity;
    AMax = MaxAcceleration;
}

double RateLimiter::Step(double Dt, double Target) {
    const double gap = Target - P;
    const double distance = std::abs(gap);
    // Fastest speed towards the target that still brakes to rest before it,
    // braking by AMax * step in each later step of any length: v (v + 2 a h)
    // <= 2 a d. (With a plain v^2 <= 2 a d a shorter step after a longer one
    // could not brake hard enough.)
    const double brake = AMax * Dt;
    const double safe = std::sqrt(brake * brake + 2.0 * AMax * distance) - brake;
    const double reach = std::min({VMax, safe, distance / Dt});
    const double wanted = gap < 0 ? -reach : reach;
    const double next = std::clamp(wanted, V - brake, V + brake);
    V = std::clamp(next, -VMax, VMax);
    P += V * Dt;
    return P;
}

bool RateLimiter::AtRestOn(double Target) const {
    // The approach converges quadratically and ends on the target or within
    // rounding of it; far below anything a seat resolves.
    return std::abs(P - Target) <= 1e-9 && std::abs(V) <= 1e-6;
}

void RateLimiter::Reset(double At) {
    P = At;
    V = 0;
}

} // namespace KarvelCueing
