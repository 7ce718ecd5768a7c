#include "MotionCueing/PlatformEnvelope.h"

#include <algorithm>
#include <cmath>
#include <limits>

#include "MotionCueing/RateLimiter.h"

namespace KarvelCueing {

namespace PlatformSteps {

constexpr double Infinite = std::numeric_limits<double>::infinity();
// Positions summed step by step carry rounding: a box holds a point this close.
constexpr double Rounding = 1e-12;
// What rounding leaves uncertain in a crank angle (acos loses precision where
// the crank turns steeply, near the ends of the stroke).
double AngleRounding(double Angle) {
    return 1e-15 + 4e-16 / std::max(std::sin(Angle), 1e-8);
}
// The posture limits are met by the steps' own rules up to rounding: compared this loosely.
constexpr double Loose = 1 + 1e-12;
// When the wanted step is refused, shares of it (taken from braking) are
// tried: half, then a quarter of the last each time, then the last gap is
// halved. Near an end of the stroke a crank may take only a sliver of what the
// posture limits allow: leaving the end from rest, the share that fits shrinks
// with the square of the step (the crank's angle grows as the root of the
// axis's way), so at short steps it is tiny and the tries go down that far.
constexpr double ShareStep = 0.25;
constexpr double SmallestShare = 1e-12;
constexpr int Refinements = 3;
constexpr double MaxTilt = 15.0; // degrees of pitch or roll the library takes
// Where the last leg of a park into the end of a stroke may start: this near
// the line from clear of the ends to home (degrees, or height), moving across
// it no faster than this.
constexpr double LegDistance = 1e-6;
constexpr double LegSpeed = 1e-4;
// The braking way is followed in pieces that cover at most this share of
// the way left to the end of the stroke an axis heads for, and a little more
// than the way braking would take at the pace of the piece's start; so many
// pieces at most.
constexpr double PieceOfTheEnd = 0.2;
constexpr double PieceOfTheStop = 1.25;
constexpr int MaxPieces = 48;

PlatformVector Along(const PlatformVector& From, const PlatformVector& Direction, double Share) {
    return {From[0] + Direction[0] * Share, From[1] + Direction[1] * Share, From[2] + Direction[2] * Share};
}

PlatformVector Between(const PlatformVector& A, const PlatformVector& B, double Share) {
    return {A[0] + (B[0] - A[0]) * Share, A[1] + (B[1] - A[1]) * Share, A[2] + (B[2] - A[2]) * Share};
}

bool Moving(const PlatformVector& Velocity) {
    return Velocity[0] != 0 || Velocity[1] != 0 || Velocity[2] != 0;
}

} // namespace PlatformSteps

void PlatformEnvelope::Box::Include(const PlatformVector& Point) {
    for (int i = 0; i < 3; ++i) {
        Lo[i] = std::min(Lo[i], Point[i]);
        Hi[i] = std::max(Hi[i], Point[i]);
    }
}

void PlatformEnvelope::Box::Narrow(const Box& To) {
    for (int i = 0; i < 3; ++i) {
        Lo[i] = std::max(Lo[i], To.Lo[i]);
        Hi[i] = std::min(Hi[i], To.Hi[i]);
    }
}

bool PlatformEnvelope::Box::Holds(const PlatformVector& Point) const {
    for (int i = 0; i < 3; ++i)
        if (!(Point[i] >= Lo[i] - PlatformSteps::Rounding && Point[i] <= Hi[i] + PlatformSteps::Rounding)) return false;
    return true;
}

PlatformEnvelope::PlatformEnvelope() : Crank(KarvelSeat::OrvidaSeat), Drive(PlatformLimitsFor(KarvelSeat::OrvidaSeat)) {
    BrakingLimits = Posture.Acceleration;
    SetSteadyBoxes();
    Reset(Q);
}

void PlatformEnvelope::SetSeatModel(const KarvelSeat::SeatModel& Model) {
    Crank = CrankCurve(Model);
    Drive = PlatformLimitsFor(Model);
    SetSteadyBoxes();
    Reset(Q);
}

void PlatformEnvelope::SetSteadyBoxes() {
    const double m = Drive.EndMargin;
    SteadyAxes = {{m, m, m}, {1 - m, 1 - m, 1 - m}};
    SteadyPosture = {Posture.Lo, Posture.Hi};
    // Heights the axes cannot reach clear of the ends are taken at the nearest they can.
    SteadyPosture.Lo[2] = std::clamp(SteadyPosture.Lo[2], m, 1 - m);
    SteadyPosture.Hi[2] = std::clamp(SteadyPosture.Hi[2], m, 1 - m);
}

void PlatformEnvelope::SetPostureLimits(const PostureLimits& Limits) {
    Posture = Limits;
    SetSteadyBoxes();
    AllowedPosture.Include(SteadyPosture.Lo);
    AllowedPosture.Include(SteadyPosture.Hi);
    // Braking at the new limits the posture axes may overrun their new range,
    // and come back at the new pace; the support axes may not leave theirs.
    // Where the new braking would carry them too far, the braking known to fit
    // (at the old limits) stays until it is no longer needed.
    Candidate now{Q, V, AxisPositions(Q), Angles, CrankRates, Q, false};
    if (!PlatformSteps::Moving(V) || Certify(LastStep, now, false, Posture.Acceleration)) {
        BrakingLimits = Posture.Acceleration;
        AllowedPosture.Include(now.Stop);
        return;
    }
    for (int j = 0; j < 3; ++j) BrakingLimits[j] = std::max(BrakingLimits[j], Posture.Acceleration[j]);
}

PlatformVector PlatformEnvelope::WithinStroke(const PlatformVector& Posture) {
    using PlatformSteps::MaxTilt;
    PlatformVector axes = AxisPositions({std::clamp(Posture[0], -MaxTilt, MaxTilt),
                                         std::clamp(Posture[1], -MaxTilt, MaxTilt), std::clamp(Posture[2], 0.0, 1.0)});
    for (double& axis : axes) axis = std::clamp(axis, 0.0, 1.0);
    return PostureOf(axes);
}

void PlatformEnvelope::Reset(const PlatformVector& At) {
    Q = WithinStroke(At);
    V = {};
    const PlatformVector axes = AxisPositions(Q);
    for (int i = 0; i < 3; ++i) Angles[i] = Crank.Angle(axes[i]);
    CrankRates = {};
    LastStep = 0;
    BrakingLimits = Posture.Acceleration;
    Homing = false;
    FinalLeg = false;
    AllowedPosture = SteadyPosture;
    AllowedPosture.Include(Q);
    AllowedAxes = SteadyAxes;
    AllowedAxes.Include(axes);
}

bool PlatformEnvelope::AtRestOn(const PlatformVector& Target) const {
    for (int j = 0; j < 3; ++j)
        if (!RateLimiter::AtRestOn(Q[j], V[j], Target[j])) return false;
    return true;
}

const PlatformVector& PlatformEnvelope::Step(double Dt, const PlatformVector& Target) {
    Homing = false;
    FinalLeg = false;
    return Advance(Dt, Project(Target), InEndZone());
}

const PlatformVector& PlatformEnvelope::StepHome(double Dt, const PlatformVector& Home) {
    if (!Homing || Home != HomeTarget) {
        Homing = true;
        HomeTarget = Home;
        FinalLeg = false;
        AllowedPosture.Include(Home);
    }
    // A home at the end of a stroke is approached in two legs: first to where
    // every axis is clear of its ends, then in a straight line, all axes
    // arriving together, so that none waits at its end while others move.
    // Only that last leg enters the margin.
    PlatformVector clear = AxisPositions(Home);
    for (int i = 0; i < 3; ++i) clear[i] = std::clamp(clear[i], SteadyAxes.Lo[i], SteadyAxes.Hi[i]);
    const PlatformVector margin = PostureOf(clear);
    if (!FinalLeg && OnTheWay(margin, Home)) {
        FinalLeg = true;
        AllowedAxes.Include(AxisPositions(Home));
    }
    return FinalLeg ? Advance(Dt, Home, true) : Advance(Dt, margin, InEndZone());
}

// Whether the seat may set off on the straight last leg from Clear to Home:
// it is on that line, at Clear or further from home, and moving along it (a
// Tamsel's park is a plain descent once pitch and roll are home).
bool PlatformEnvelope::OnTheWay(const PlatformVector& Clear, const PlatformVector& Home) const {
    using PlatformSteps::LegDistance;
    double leg = 0, norm = 0, pace = 0;
    for (int j = 0; j < 3; ++j) {
        leg += (Q[j] - Home[j]) * (Clear[j] - Home[j]);
        pace += V[j] * (Clear[j] - Home[j]);
        norm += (Clear[j] - Home[j]) * (Clear[j] - Home[j]);
    }
    if (norm == 0) return true;
    const double share = leg / norm; // of the leg, from home
    if (share < 1 - LegDistance) return false;
    for (int j = 0; j < 3; ++j) {
        const double line = Clear[j] - Home[j];
        if (std::abs(Q[j] - Home[j] - share * line) > LegDistance) return false;
        if (std::abs(V[j] - pace / norm * line) > PlatformSteps::LegSpeed) return false;
    }
    return true;
}

bool PlatformEnvelope::InEndZone() const {
    return !SteadyAxes.Holds(AxisPositions(Q));
}

PlatformVector PlatformEnvelope::Project(const PlatformVector& Target) const {
    PlatformVector inside;
    for (int j = 0; j < 3; ++j) inside[j] = std::clamp(Target[j], SteadyPosture.Lo[j], SteadyPosture.Hi[j]);
    // Drawn in along the line to the middle of the stroke until every support
    // axis is clear of its ends.
    const PlatformVector centre{0, 0, std::clamp(0.5, SteadyPosture.Lo[2], SteadyPosture.Hi[2])};
    const PlatformVector axes = AxisPositions(inside);
    double share = 1;
    for (int i = 0; i < 3; ++i) {
        if (axes[i] > SteadyAxes.Hi[i]) share = std::min(share, (SteadyAxes.Hi[i] - centre[2]) / (axes[i] - centre[2]));
        if (axes[i] < SteadyAxes.Lo[i]) share = std::min(share, (centre[2] - SteadyAxes.Lo[i]) / (centre[2] - axes[i]));
    }
    return PlatformSteps::Between(centre, inside, share);
}

const PlatformVector& PlatformEnvelope::Advance(double Dt, const PlatformVector& Target, bool Straight) {
    using namespace PlatformSteps;
    Candidate next;
    // Each axis at its own pace where that fits; else straight at the target,
    // which slides along a limit the axes' own paths would cross.
    if (!Straight && Try(Dt, AxisVelocity(Dt, Target), next)) {
        Commit(Dt, next, true);
        return Q;
    }
    const PlatformVector wanted = StraightVelocity(Dt, Target);
    if (Try(Dt, wanted, next)) {
        Commit(Dt, next, true);
        return Q;
    }
    // Braking in a straight line is known to fit; take as much of the wanted
    // step as fits beside it.
    const PlatformVector axes = AxisPositions(Q);
    double rate = BrakeRate(axes, V, CrankRoom(axes, V, CrankRates, LastStep), BrakingLimits);
    // Never happens to a certified state; should it, stopping beats running on.
    if (!(rate > 0)) rate = BrakeRate(axes, V, {Infinite, Infinite, Infinite}, BrakingLimits);
    const double slowing = std::max(0.0, 1.0 - rate * Dt);
    const PlatformVector braking{V[0] * slowing, V[1] * slowing, V[2] * slowing};
    double fits = 0, fails = 1;
    for (double share = 0.5; share > SmallestShare; share *= ShareStep) {
        if (Try(Dt, Between(braking, wanted, share), next)) {
            fits = share;
            break;
        }
        fails = share;
    }
    bool certain = fits > 0;
    if (certain) {
        Candidate better;
        for (int k = 0; k < Refinements; ++k) {
            const double share = (fits + fails) / 2;
            if (Try(Dt, Between(braking, wanted, share), better)) {
                fits = share;
                next = better;
            } else {
                fails = share;
            }
        }
    } else {
        // The braking already certain to fit; refused only by rounding, or by
        // new posture limits it may not meet yet.
        certain = Try(Dt, braking, next);
    }
    Commit(Dt, next, certain);
    return Q;
}

// Each posture axis on its own towards the target, at its own limits.
PlatformVector PlatformEnvelope::AxisVelocity(double Dt, const PlatformVector& Target) const {
    PlatformVector wanted;
    for (int j = 0; j < 3; ++j)
        wanted[j] = RateLimiter::NextVelocity(Q[j], V[j], Target[j], Dt, Posture.Velocity[j], Posture.Acceleration[j]);
    return wanted;
}

// Along the straight line to the target, every axis covering the same share
// of its way, so that no support axis ever moves away from where the target
// puts it. Motion across the line is braked with up to half of each
// acceleration limit; the rest drives the motion along it.
PlatformVector PlatformEnvelope::StraightVelocity(double Dt, const PlatformVector& Target) const {
    using PlatformSteps::Infinite;
    PlatformVector way;
    double dot = 0, norm = 0;
    for (int j = 0; j < 3; ++j) {
        way[j] = Target[j] - Q[j];
        // Compared in units of each axis's acceleration limit.
        const double weight = 1.0 / (Posture.Acceleration[j] * Posture.Acceleration[j]);
        dot += weight * V[j] * way[j];
        norm += weight * way[j] * way[j];
    }
    if (norm == 0) return AxisVelocity(Dt, Target);
    const double share = dot / norm; // of the way per second, now
    PlatformVector across;
    double acrossBrake = Infinite;
    for (int j = 0; j < 3; ++j) {
        across[j] = V[j] - way[j] * share;
        if (across[j] != 0) acrossBrake = std::min(acrossBrake, Posture.Acceleration[j] / (2 * std::abs(across[j])));
    }
    const double keep = std::max(0.0, 1.0 - acrossBrake * Dt);
    double pace = Infinite, along = Infinite;
    for (int j = 0; j < 3; ++j) {
        if (way[j] == 0) continue;
        const double left = Posture.Acceleration[j] - std::abs(across[j]) * (1 - keep) / Dt;
        pace = std::min(pace, Posture.Velocity[j] / std::abs(way[j]));
        along = std::min(along, left / std::abs(way[j]));
    }
    const double next = RateLimiter::NextVelocity(0, share, 1, Dt, pace, along);
    return {way[0] * next + across[0] * keep, way[1] * next + across[1] * keep, way[2] * next + across[2] * keep};
}

bool PlatformEnvelope::Try(double Dt, const PlatformVector& Velocity, Candidate& Next) const {
    Next.V = Velocity;
    Next.Q = PlatformSteps::Along(Q, Velocity, Dt);
    Next.Axes = AxisPositions(Next.Q);
    for (int i = 0; i < 3; ++i) {
        Next.Angles[i] = Crank.Angle(Next.Axes[i]);
        Next.CrankRates[i] = (Next.Angles[i] - Angles[i]) / Dt;
    }
    if (!AllowedPosture.Holds(Next.Q) || !AllowedAxes.Holds(Next.Axes)) return false;
    for (int j = 0; j < 3; ++j) {
        const double change = Posture.Acceleration[j] * Dt;
        const double ceiling = std::max(Posture.Velocity[j], std::abs(V[j]) - change);
        if (std::abs(Velocity[j] - V[j]) > change * PlatformSteps::Loose ||
            std::abs(Velocity[j]) > ceiling * PlatformSteps::Loose)
            return false;
    }
    // Speeds read off rounded angles are uncertain by as much over a short
    // step: a crank is judged by what it surely did.
    const double span = std::max(Dt, (Dt + LastStep) / 2);
    for (int i = 0; i < 3; ++i) {
        const double unsure = 2 * PlatformSteps::AngleRounding(Next.Angles[i]) / Dt;
        const double before = LastStep > 0 ? 2 * PlatformSteps::AngleRounding(Angles[i]) / LastStep : 0;
        if (std::abs(Next.CrankRates[i]) > Drive.CrankSpeed + unsure) return false;
        if (std::abs(Next.CrankRates[i] - CrankRates[i]) > Drive.CrankAcceleration * span + unsure + before)
            return false;
    }
    Next.Eased = Certify(Dt, Next, true, Posture.Acceleration);
    return Next.Eased || (BrakingLimits != Posture.Acceleration && Certify(Dt, Next, true, BrakingLimits));
}

// The crank's curvature pulls it along the way an axis moves towards the
// nearer end of the stroke (beyond the inflection), against braking; moving
// towards the middle it slows the crank, as braking does: then that pull,
// largest where the way starts, comes off what braking may add.
double PlatformEnvelope::SlowingPull(double Position, double Rate) const {
    const bool towardsMiddle = (Position < Crank.Inflection()) == (Rate > 0);
    return towardsMiddle ? std::abs(Crank.Curvature(Position)) * Rate * Rate : 0;
}

// What each crank's acceleration limit leaves for braking at At, moving at
// Velocity after a step of Step whose mean crank speeds were Chords: less the
// crank's own slowing pull (largest here on any straight way on), and less the
// lag of the crank's speed at the step's end behind its mean, where that adds
// to braking in the first braking step. Negative where the lag alone is too
// much.
PlatformVector PlatformEnvelope::CrankRoom(const PlatformVector& At, const PlatformVector& Velocity,
                                           const PlatformVector& Chords, double Step) const {
    const double limit = Drive.CrankAcceleration;
    const PlatformVector rates = AxisPositions(Velocity);
    PlatformVector room{limit, limit, limit};
    for (int i = 0; i < 3; ++i) {
        if (rates[i] == 0) continue;
        const double pull = SlowingPull(At[i], rates[i]);
        // The mean over the step is uncertain by rounding: the lag is what is surely there.
        const double exact = Crank.Slope(At[i]) * rates[i] - Chords[i];
        const double unsure = 2 * PlatformSteps::AngleRounding(Crank.Angle(At[i])) / Step;
        const double lag = exact > 0 ? std::max(0.0, exact - unsure) : std::min(0.0, exact + unsure);
        const double lagged = lag * rates[i] < 0 ? std::abs(lag) / Step + pull / 2 : 0;
        room[i] = 2 * std::abs(lag) / Step > limit ? -1 : limit - std::max(pull, lagged);
    }
    return room;
}

// How hard the seat may brake from Velocity at At in a straight line, as the
// share of its speed shed per second: as hard as Limits allow the posture
// axes, but no crank's braking (its slope times the axis's deceleration)
// beyond its Room.
double PlatformEnvelope::BrakeRate(const PlatformVector& At, const PlatformVector& Velocity,
                                   const PlatformVector& Room, const PlatformVector& Limits) const {
    double rate = PlatformSteps::Infinite;
    for (int j = 0; j < 3; ++j)
        if (Velocity[j] != 0) rate = std::min(rate, Limits[j] / std::abs(Velocity[j]));
    const PlatformVector rates = AxisPositions(Velocity);
    for (int i = 0; i < 3; ++i)
        if (rates[i] != 0) rate = std::min(rate, std::max(0.0, Room[i]) / (Crank.Slope(At[i]) * std::abs(rates[i])));
    return rate;
}

// Whether the seat can brake from Next (the step of Dt it would take) in a
// straight line to rest within the allowed boxes (the posture box only when
// WithinPosture) and the drive's limits, for steps of any length. Braking
// sheds speed at BrakeRate, with the room the first braking step leaves, taken
// at each point of the way with the speeds of Next: any later braking step
// has at least that room and brakes at least as hard, so it stops sooner. The
// way is followed in pieces; on each the crank's slope and curvature are
// largest at an end of the piece (the slope has one minimum, the curvature's
// magnitude grows away from it) and the speed at the piece's start, so they
// bound the crank's speed and the pull of its curvature along the way.
// Next.Stop gets where braking ends.
bool PlatformEnvelope::Certify(double Dt, Candidate& Next, bool WithinPosture, const PlatformVector& Limits) const {
    using namespace PlatformSteps;
    Next.Stop = Next.Q;
    if (!Moving(Next.V)) return true;
    const PlatformVector rates = AxisPositions(Next.V);
    double reach = Infinite; // seconds at Next's velocity before leaving the boxes
    auto within = [&reach](const Box& Inside, const PlatformVector& At, const PlatformVector& Rate) {
        for (int i = 0; i < 3; ++i) {
            if (Rate[i] > 0) reach = std::min(reach, (Inside.Hi[i] + Rounding - At[i]) / Rate[i]);
            if (Rate[i] < 0) reach = std::min(reach, (Inside.Lo[i] - Rounding - At[i]) / Rate[i]);
        }
    };
    if (WithinPosture) within(AllowedPosture, Next.Q, Next.V);
    within(AllowedAxes, Next.Axes, rates);
    if (!(reach > 0)) return false;

    const PlatformVector room = CrankRoom(Next.Axes, Next.V, Next.CrankRates, Dt);
    const double accelerationLimit = Drive.CrankAcceleration;
    const double brake = BrakeRate(Next.Axes, Next.V, room, Limits);
    if (!(brake > 0)) return false;

    double at = 0, speed2 = 1; // way gone (seconds at Next's velocity), squared share of the speed left
    double pace = brake;       // the least braking so far
    PlatformVector from = Next.Axes;
    for (int piece = 0; piece < MaxPieces; ++piece) {
        double length = std::min(reach - at, PieceOfTheStop * speed2 / (2 * pace));
        for (int i = 0; i < 3; ++i) {
            if (rates[i] > 0) length = std::min(length, PieceOfTheEnd * (1 - from[i]) / rates[i]);
            if (rates[i] < 0) length = std::min(length, PieceOfTheEnd * from[i] / -rates[i]);
        }
        if (!(length > 0)) return false;
        const PlatformVector to = Along(from, rates, length);
        pace = std::min(pace, BrakeRate(to, Next.V, room, Limits));
        for (int i = 0; i < 3; ++i) {
            if (rates[i] == 0) continue;
            const double slope = std::max(Crank.Slope(from[i]), Crank.Slope(to[i]));
            if (!(slope * std::abs(rates[i]) * std::sqrt(speed2) <= Drive.CrankSpeed)) return false;
            // Pulling on along the way (away from the middle): never beyond the limit.
            for (const double end : {from[i], to[i]})
                if (SlowingPull(end, rates[i]) == 0 &&
                    !(std::abs(Crank.Curvature(end)) * rates[i] * rates[i] * speed2 <= accelerationLimit))
                    return false;
        }
        if (speed2 <= 2 * pace * length) {
            Next.Stop = Along(Next.Q, Next.V, at + speed2 / (2 * pace));
            return true;
        }
        speed2 -= 2 * pace * length;
        at += length;
        from = to;
        if (at >= reach) return false;
    }
    return false;
}

void PlatformEnvelope::Commit(double Dt, const Candidate& Next, bool Certain) {
    Q = Next.Q;
    V = Next.V;
    Angles = Next.Angles;
    CrankRates = Next.CrankRates;
    LastStep = Dt;
    if (!Certain) return; // braking on as certified before: the boxes stay
    if (Next.Eased) BrakingLimits = Posture.Acceleration;
    // The boxes need hold no more than steady motion, home while homing and the
    // way braking would go from here; they never grow by rounding.
    Box posture = SteadyPosture;
    posture.Include(Q);
    posture.Include(Next.Stop);
    Box axes = SteadyAxes;
    axes.Include(Next.Axes);
    axes.Include(AxisPositions(Next.Stop));
    if (Homing) posture.Include(HomeTarget);
    if (Homing && FinalLeg) axes.Include(AxisPositions(HomeTarget));
    AllowedPosture.Narrow(posture);
    AllowedAxes.Narrow(axes);
}

} // namespace KarvelCueing
