// Watches the frames a seat receives, a frame period apart, against a profile's posture limits as the seat would
// feel them: each axis's change over one period (velocity) and the change of that between two frames
// (acceleration). Postures are single precision, as the library takes them: the allowances cover their rounding.
#pragma once

#include <cmath>
#include <sstream>
#include <string>

#include "MotionCueing/CueingProfile.h"
#include "SeatModels/SeatModel.h"

namespace KarvelSeatTest {

class FrameCheck {
public:
    FrameCheck(const KarvelCueing::CueingProfile& Profile, double FrameSeconds, const KarvelSeat::Posture& Start)
        : Limits(Profile), Period(FrameSeconds), Last(Start) {}

    void Observe(const KarvelSeat::Posture& Now) {
        ++Count;
        Axis(0, "pitch", Last.Pitch, Now.Pitch, Limits.PitchVelocity, Limits.PitchAcceleration);
        Axis(1, "roll", Last.Roll, Now.Roll, Limits.RollVelocity, Limits.RollAcceleration);
        Axis(2, "yaw", Last.Yaw, Now.Yaw, Limits.YawVelocity, Limits.YawAcceleration);
        Axis(3, "height", Last.Height, Now.Height, Limits.HeightVelocity, Limits.HeightAcceleration);
        Last = Now;
    }
    // The seat stood still (no frame for a while): what follows starts from rest.
    void AtRest() {
        for (double& Change : Previous) Change = 0;
    }

    bool Ok() const { return Failure.empty(); }
    const std::string& FirstFailure() const { return Failure; }
    int Frames() const { return Count; }

private:
    void Axis(int Index, const char* Name, double Before, double After, double VMax, double AMax) {
        constexpr double Rounding = 2e-5; // single precision at 180 degrees
        const double Change = After - Before;
        if (!std::isfinite(After)) return Fail(Name, "not finite", After);
        if (std::abs(Change) > VMax * Period + Rounding) return Fail(Name, "velocity beyond the limit", Change / Period);
        if (std::abs(Change - Previous[Index]) > AMax * Period * Period + 2 * Rounding) {
            return Fail(Name, "acceleration beyond the limit", (Change - Previous[Index]) / (Period * Period));
        }
        Previous[Index] = Change;
    }
    void Fail(const char* Name, const char* What, double Value) {
        if (!Failure.empty()) return;
        std::ostringstream Text;
        Text << "frame " << Count << ": " << Name << " " << What << " (" << Value << ")";
        Failure = Text.str();
    }

    KarvelCueing::CueingProfile Limits;
    double Period;
    KarvelSeat::Posture Last;
    double Previous[4] = {0, 0, 0, 0};
    int Count = 0;
    std::string Failure;
};

} // namespace KarvelSeatTest
