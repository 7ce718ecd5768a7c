// Watches the postures that leave the core as the seat would: change of each
// axis over the step (counted at most MaxStepSeconds), and the change of that
// velocity, against the profile's limits; positions against the ranges.
#pragma once

#include <algorithm>
#include <cmath>
#include <sstream>
#include <string>

#include "MotionCueing.h"

namespace KarvelCueingTest {

class EnvelopeCheck {
public:
    // Start: the posture before the first observed one. AtRest: whether the
    // seat was at rest there (a check begun mid-stream does not know its
    // velocity, so it judges accelerations from its second moving step on).
    EnvelopeCheck(const KarvelCueing::CueingProfile& Profile, const KarvelCueing::SeatPose& Start, bool AtRest = true)
        : Limits(Profile), Last(Start), VelocityKnown{AtRest, AtRest, AtRest, AtRest} {}

    // Dt as given to the core; the posture it returned.
    void Observe(double Dt, const KarvelCueing::SeatPose& Out) {
        ++Count;
        Step = Dt;
        const bool moves = std::isfinite(Dt) && Dt > 0;
        const double h = moves ? std::min(Dt, KarvelCueing::MaxStepSeconds) : 0;
        Axis(0, "pitch", Last.Pitch, Out.Pitch, h, -Limits.PitchLimit, Limits.PitchLimit, Limits.PitchVelocity,
             Limits.PitchAcceleration);
        Axis(1, "roll", Last.Roll, Out.Roll, h, -Limits.RollLimit, Limits.RollLimit, Limits.RollVelocity,
             Limits.RollAcceleration);
        Axis(2, "yaw", Last.Yaw, Out.Yaw, h, -Limits.YawLimit, Limits.YawLimit, Limits.YawVelocity,
             Limits.YawAcceleration);
        Axis(3, "height", Last.Height, Out.Height, h, Limits.HeightMin, Limits.HeightMax, Limits.HeightVelocity,
             Limits.HeightAcceleration);
        Last = Out;
    }

    bool Ok() const { return Failure.empty(); }
    const std::string& FirstFailure() const { return Failure; }
    double PeakVelocity(int Axis) const { return Peak[Axis]; }

private:
    void Axis(int Index, const char* Name, double Before, double After, double H, double Lo, double Hi, double VMax,
              double AMax) {
        // Rounding allowances only: positions in degrees or height units.
        const double tol = 1e-9;
        if (!std::isfinite(After)) return Fail(Name, "not finite", After);
        if (After < Lo - tol || After > Hi + tol) return Fail(Name, "outside its range", After);
        if (H == 0) {
            if (After != Before) Fail(Name, "moved in a step of no time", After - Before);
            return;
        }
        const double v = (After - Before) / H;
        Peak[Index] = std::max(Peak[Index], std::abs(v));
        if (std::abs(v) > VMax * (1 + 1e-9) + tol / H) Fail(Name, "velocity beyond the limit", v);
        // Each velocity read from two rounded positions is uncertain by
        // 2 tol / H, which after a very short step is much: allow both.
        const double a = (v - Velocity[Index]) / H;
        const double uncertainty = (2 * tol / H + VelocityUncertainty[Index]) / H;
        if (VelocityKnown[Index] && std::abs(a) > AMax * (1 + 1e-6) + uncertainty)
            Fail(Name, "acceleration beyond the limit", a);
        Velocity[Index] = v;
        VelocityUncertainty[Index] = 2 * tol / H;
        VelocityKnown[Index] = true;
    }
    void Fail(const char* Name, const char* What, double Value) {
        if (!Failure.empty()) return;
        std::ostringstream text;
        text.precision(10);
        text << "output " << Count << ": " << Name << " " << What << " (" << Value << ", step " << Step << ")";
        Failure = text.str();
    }

    KarvelCueing::CueingProfile Limits;
    KarvelCueing::SeatPose Last;
    double Velocity[4] = {0, 0, 0, 0};
    double VelocityUncertainty[4] = {0, 0, 0, 0};
    bool VelocityKnown[4];
    double Peak[4] = {0, 0, 0, 0};
    long Count = 0;
    double Step = 0;
    std::string Failure;
};

} // namespace KarvelCueingTest
