// Watches the postures that leave the core as the seat's drive would: each
// posture mixed into the three support axes' positions, each position turned
// into its crank's angle by solving the crank and link's geometry directly
// (the crank end at R (sin a, -cos a) from the pivot, the link's far end on the
// axis L away from it), and then the angles' speeds and accelerations over the
// steps, against the end margin and the drive's limits. Nothing here comes from
// the core's own geometry.
#pragma once

#include <algorithm>
#include <cmath>
#include <sstream>
#include <string>

#include "MotionCueing.h"

namespace KarvelCueingTest {

constexpr double kPi = 3.141592653589793;

// The library's mixing: p, r = pitch / 15, roll / 15; X = h + p/2 + r/2,
// Y = h + p/2 - r/2, Z = h - p/2.
inline void AxesOf(const KarvelCueing::SeatPose& Pose, double Axes[3]) {
    const double p = Pose.Pitch / 15, r = Pose.Roll / 15;
    Axes[0] = Pose.Height + p / 2 + r / 2;
    Axes[1] = Pose.Height + p / 2 - r / 2;
    Axes[2] = Pose.Height - p / 2;
}

// The posture the seat really takes when sent Pose: the library limits pitch
// and roll to +-15 degrees and height to 0..1, mixes them and stops each axis
// at the ends of its stroke.
inline KarvelCueing::SeatPose SeatedPose(const KarvelCueing::SeatPose& Pose) {
    KarvelCueing::SeatPose limited = Pose;
    limited.Pitch = std::clamp(Pose.Pitch, -15.0, 15.0);
    limited.Roll = std::clamp(Pose.Roll, -15.0, 15.0);
    limited.Height = std::clamp(Pose.Height, 0.0, 1.0);
    double axes[3];
    AxesOf(limited, axes);
    for (double& axis : axes) axis = std::clamp(axis, 0.0, 1.0);
    limited.Roll = 15 * (axes[0] - axes[1]);
    limited.Pitch = 15 * ((axes[0] + axes[1]) / 2 - axes[2]);
    limited.Height = ((axes[0] + axes[1]) / 2 + axes[2]) / 2;
    return limited;
}

// The crank angle (0 bottom of the stroke, pi top) that puts the axis at
// Position (0..1 of the stroke), found by bisection on the geometry.
inline double CrankAngleAt(const KarvelSeat::SeatModel& Model, double Position) {
    const double L = Model.LinkLength, R = Model.CrankRadius;
    const double wanted = (L - R) + 2 * R * Position;
    auto reach = [&](double a) { return -R * std::cos(a) + std::sqrt(L * L - R * R * std::sin(a) * std::sin(a)); };
    double lo = 0, hi = kPi;
    for (int i = 0; i < 100 && hi - lo > 0; ++i) {
        const double mid = (lo + hi) / 2;
        if (mid <= lo || mid >= hi) break;
        (reach(mid) < wanted ? lo : hi) = mid;
    }
    return (lo + hi) / 2;
}

// The drive's limits as this check derives them: the crank's rate of turn per
// stroke in mid-stroke (by differences of the geometry above), times the
// fastest any preset moves an axis there (height plus a thirtieth of each
// degree of pitch and roll).
struct DriveLimits {
    double Margin, Speed, Acceleration;
};

inline DriveLimits DriveLimitsFor(const KarvelSeat::SeatModel& Model) {
    const double d = 1e-5;
    const double slope = (CrankAngleAt(Model, 0.5 + d) - CrankAngleAt(Model, 0.5 - d)) / (2 * d);
    double speed = 0, acceleration = 0;
    for (const std::string& name : KarvelCueing::PresetProfileNames()) {
        const KarvelCueing::CueingProfile& p = *KarvelCueing::FindPresetProfile(name);
        speed = std::max(speed, p.HeightVelocity + (p.PitchVelocity + p.RollVelocity) / 30);
        acceleration = std::max(acceleration, p.HeightAcceleration + (p.PitchAcceleration + p.RollAcceleration) / 30);
    }
    return {0.05, slope * speed, slope * acceleration};
}

class PlatformCheck {
public:
    // Start: the posture before the first observed one, at rest.
    PlatformCheck(const KarvelSeat::SeatModel& Seat, const KarvelCueing::SeatPose& Start)
        : Model(Seat), Limits(DriveLimitsFor(Seat)) {
        AxesOf(Start, Last);
        for (int i = 0; i < 3; ++i) {
            Angle[i] = CrankAngleAt(Model, Last[i]);
            Cleared[i] = Inside(Last[i]);
        }
    }

    // While the seat parks towards Home, an axis whose home lies nearer an end
    // than the margin may go there; once the park is over, it may brake on
    // into the margin, and is held to it again once it is clear of the ends
    // and no longer heading for one.
    void Parking(bool On, const KarvelCueing::SeatPose& Home = {}) {
        double axes[3];
        AxesOf(Home, axes);
        for (int i = 0; i < 3; ++i) {
            HomeAtEnd[i] = On && !Inside(axes[i]);
            if (!On) Cleared[i] = false;
        }
    }

    // Dt as given to the core; the posture it returned.
    void Observe(double Dt, const KarvelCueing::SeatPose& Out) {
        ++Count;
        double axes[3];
        AxesOf(Out, axes);
        const bool moves = std::isfinite(Dt) && Dt > 0;
        const double h = moves ? std::min(Dt, KarvelCueing::MaxStepSeconds) : 0;
        for (int i = 0; i < 3; ++i) Axis(i, axes[i], h);
        if (h > 0) LastStep = h;
    }

    bool Ok() const { return Failure.empty(); }
    const std::string& FirstFailure() const { return Failure; }
    double PeakSpeed() const { return Peak[0]; }
    double PeakAcceleration() const { return Peak[1]; }
    double NearestEnd() const { return Nearest; } // of any axis cleared of the ends, in share of the stroke
    const DriveLimits& Drive() const { return Limits; }

private:
    bool Inside(double Position) const {
        return Position >= Limits.Margin - 1e-9 && Position <= 1 - Limits.Margin + 1e-9;
    }
    void Axis(int I, double Position, double H) {
        static const char* const names[3] = {"X", "Y", "Z"};
        const char* name = names[I];
        if (!std::isfinite(Position)) return Fail(name, "position not finite", Position);
        if (Position < -1e-12 || Position > 1 + 1e-12) return Fail(name, "beyond the stroke", Position);
        const bool inside = Inside(Position);
        if (Cleared[I] && !inside && !HomeAtEnd[I]) return Fail(name, "within the end margin", Position);
        const bool towardsEnd = (Position - Last[I]) * (Position - 0.5) > 0;
        Cleared[I] = Cleared[I] || (inside && !towardsEnd);
        Last[I] = Position;
        if (Cleared[I] && !HomeAtEnd[I]) Nearest = std::min({Nearest, Position, 1 - Position});
        const double angle = CrankAngleAt(Model, Position);
        // What the crank angle is sure to: a position rounded by 1e-15 moves it
        // this much, most near the ends where the angle is steep.
        const double unsure = std::max(1e-13, CrankAngleAt(Model, std::min(1.0, Position + 1e-15)) -
                                                  CrankAngleAt(Model, std::max(0.0, Position - 1e-15)));
        if (H == 0) {
            if (std::abs(angle - Angle[I]) > 2 * unsure) Fail(name, "crank turned in a step of no time", angle - Angle[I]);
            return;
        }
        const double rate = (angle - Angle[I]) / H;
        const double rateUnsure = (unsure + Unsure[I]) / H;
        Peak[0] = std::max(Peak[0], std::abs(rate));
        if (std::abs(rate) > Limits.Speed * (1 + 1e-9) + rateUnsure) Fail(name, "crank speed beyond the limit", rate);
        const double span = std::max(H, (H + LastStep) / 2);
        const double acceleration = (rate - Rate[I]) / span;
        Peak[1] = std::max(Peak[1], std::abs(acceleration));
        if (std::abs(acceleration) > Limits.Acceleration * (1 + 1e-6) + (rateUnsure + RateUnsure[I]) / span)
            Fail(name, "crank acceleration beyond the limit", acceleration);
        Angle[I] = angle;
        Unsure[I] = unsure;
        Rate[I] = rate;
        RateUnsure[I] = rateUnsure;
    }
    void Fail(const char* Name, const char* What, double Value) {
        if (!Failure.empty()) return;
        std::ostringstream text;
        text.precision(10);
        text << "output " << Count << ": axis " << Name << " " << What << " (" << Value << ")";
        Failure = text.str();
    }

    KarvelSeat::SeatModel Model;
    DriveLimits Limits;
    double Last[3];
    double Angle[3], Unsure[3] = {0, 0, 0}, Rate[3] = {0, 0, 0}, RateUnsure[3] = {0, 0, 0};
    bool Cleared[3];
    bool HomeAtEnd[3] = {false, false, false};
    double LastStep = 0;
    double Peak[2] = {0, 0};
    double Nearest = 0.5;
    long Count = 0;
    std::string Failure;
};

} // namespace KarvelCueingTest
