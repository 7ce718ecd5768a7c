// Pitch, roll and height as the platform moves them. Besides each posture
// axis's own limits (range, velocity, acceleration, as AxisEnvelope keeps
// them), every step keeps the three support axes within their strokes, clear
// of the ends by the platform's EndMargin, and their cranks within the drive's
// CrankSpeed and CrankAcceleration (PlatformLimits.h). So the posture that
// leaves is one the library never clamps, and the real platform moves exactly
// as it says.
//
// How the axes share the limits: a target beyond what the platform reaches is
// drawn in towards the middle of the stroke along a straight line (pitch,
// roll and the height's offset keep their proportions), and each step is the
// axes' own step, scaled back towards braking along the present direction of
// motion as far as the platform needs. Scaling never turns the motion aside,
// and braking in a straight line is always at hand: every step is taken only
// if the seat could brake from it in a straight line to rest within all
// limits, whatever the lengths of the following steps.
//
// Measured as the drive sees it: crank speed is the change of crank angle over
// the step; crank acceleration the change of that between two steps over the
// longer of the new step and the mean of the two (at a steady frame rate,
// simply the step).
#pragma once

#include "SeatCoreApi.h"

#include "PlatformGeometry.h"
#include "PlatformLimits.h"

namespace KarvelCueing {

// A cueing profile's limits for pitch (deg), roll (deg) and height, in that
// order.
struct PostureLimits {
    PlatformVector Lo{-15, -15, 0}, Hi{15, 15, 1};
    PlatformVector Velocity{30, 30, 1.5};
    PlatformVector Acceleration{250, 250, 10};
};

class KARVELSEATCORE_API PlatformEnvelope {
public:
    PlatformEnvelope(); // an Orvida at rest mid-stroke, under the default limits

    // The seat model's crank geometry and drive limits. The seat stays where
    // it is (taken within the new stroke), at rest.
    void SetSeatModel(const KarvelSeat::SeatModel& Model);
    // New posture limits take effect by braking at the new acceleration limits
    // from the present velocity, never by cutting it; a position outside the
    // new range is left at the new limits' pace. Where braking that gently
    // would carry an axis against the end of its stroke, it brakes as hard as
    // the stroke needs, never harder than before.
    void SetPostureLimits(const PostureLimits& Limits);

    // At rest at At, taken within the stroke as the library would take it.
    void Reset(const PlatformVector& At);
    // One step (0 < Dt <= MaxStepSeconds) towards Target, taken within the
    // posture limits and the platform's.
    const PlatformVector& Step(double Dt, const PlatformVector& Target);
    // One step towards Home, which may lie anywhere within the stroke (a home
    // at the end of the stroke, or outside the posture limits): the seat may
    // leave the limits for it, still within the crank limits.
    const PlatformVector& StepHome(double Dt, const PlatformVector& Home);

    bool AtRestOn(const PlatformVector& Target) const; // as RateLimiter::AtRestOn, every axis
    const PlatformVector& Position() const { return Q; }
    const PlatformVector& Velocity() const { return V; }
    const PlatformLimits& Limits() const { return Drive; }
    // Pitch and roll within +-15, height within 0..1, each support axis within
    // its stroke: the posture the library would make of Posture.
    static PlatformVector WithinStroke(const PlatformVector& Posture);

private:
    struct Box {
        PlatformVector Lo, Hi;
        void Include(const PlatformVector& Point);
        void Narrow(const Box& To); // to the part within To
        bool Holds(const PlatformVector& Point) const;
    };
    // A step considered: where it ends, how fast it moved, and where braking
    // in a straight line from it would end (Eased: under the posture limits in
    // force, not those of a profile that came before).
    struct Candidate {
        PlatformVector Q, V, Axes, Angles, CrankRates, Stop;
        bool Eased = false;
    };

    const PlatformVector& Advance(double Dt, const PlatformVector& Target, bool Straight);
    PlatformVector AxisVelocity(double Dt, const PlatformVector& Target) const;
    PlatformVector StraightVelocity(double Dt, const PlatformVector& Target) const;
    bool InEndZone() const; // some support axis is nearer an end than the margin
    bool OnTheWay(const PlatformVector& Clear, const PlatformVector& Home) const;
    PlatformVector Project(const PlatformVector& Target) const;
    bool Try(double Dt, const PlatformVector& Velocity, Candidate& Next) const;
    bool Certify(double Dt, Candidate& Next, bool WithinPosture, const PlatformVector& Limits) const;
    PlatformVector CrankRoom(const PlatformVector& At, const PlatformVector& Velocity, const PlatformVector& Chords,
                             double Step) const;
    double BrakeRate(const PlatformVector& At, const PlatformVector& Velocity, const PlatformVector& Room,
                     const PlatformVector& Limits) const;
    double SlowingPull(double Position, double Rate) const;
    void Commit(double Dt, const Candidate& Next, bool Certain);
    void SetSteadyBoxes();

    CrankCurve Crank;
    PlatformLimits Drive;
    PostureLimits Posture;
    Box SteadyPosture, SteadyAxes;   // where the seat may be in steady motion
    Box AllowedPosture, AllowedAxes; // those, widened to what the seat still needs
    bool Homing = false;
    bool FinalLeg = false; // homing: on the straight way from clear of the ends to home
    PlatformVector HomeTarget{};

    PlatformVector Q{0, 0, 0.5}, V{};
    PlatformVector Angles{}, CrankRates{}; // of the support axes' cranks
    double LastStep = 0;
    PlatformVector BrakingLimits; // the posture accelerations braking is certain to fit in
};

} // namespace KarvelCueing
