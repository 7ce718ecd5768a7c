// Runs a ride through a cueing algorithm offline and judges the result on
// what a rider perceives: the vehicle's motion and the seat's, each through
// the vestibular model, compared channel by channel (CueMeasures.h), and how
// much of each posture axis's range the seat used.
#pragma once

#include <array>
#include <functional>
#include <string>
#include <vector>

#include "CueMeasures.h"
#include "CueingTypes.h"
#include "MotionCueingCore.h"
#include "SeatModels/SeatModel.h"
#include "VestibularModel.h"

namespace KarvelCueEvaluation {

// The vehicle's motion at one instant, in its own frame (CueingTypes.h).
struct RideSample {
    std::array<double, 3> SpecificForce{0, 0, KarvelCueing::StandardGravity}; // m/s^2, gravity included
    std::array<double, 3> AngularVelocity{};                                  // deg/s: roll, pitch, yaw rate
};

// Samples at a fixed step from the ride's start.
struct Ride {
    std::string Name;
    double Dt = 0.01;
    std::vector<RideSample> Samples;
    double Seconds() const { return Samples.empty() ? 0 : Dt * static_cast<double>(Samples.size() - 1); }
};

// The seat the postures drive.
struct SeatGeometry {
    double StrokeMetres = 0.1;            // travel from height 0 to height 1
    KarvelCueing::SeatPose Home;          // where the seat starts, at rest
    // Ranges the shares of use are taken of (by default the posture's: +-15
    // deg of pitch and roll, +-180 of yaw, height 0..1).
    double PitchSpan = 30, RollSpan = 30, YawSpan = 360, HeightSpan = 1;
};

// A seat model's stroke and home with the ranges a profile lets it use.
SeatGeometry GeometryFor(const KarvelCueing::CueingProfile& Profile, const KarvelSeat::SeatModel& Seat);
// A seat model's home as the cueing core's posture.
KarvelCueing::SeatPose HomeOf(const KarvelSeat::SeatModel& Seat);

// The cueing algorithm under test: the posture for the next step.
using Cuer = std::function<KarvelCueing::SeatPose(double Dt, const RideSample& Vehicle)>;
// The motion cueing core as a cuer (it must outlive the cuer).
Cuer CueWith(KarvelCueing::MotionCueing& Core);

enum PostureAxis { PitchAxis, RollAxis, YawAxis, HeightAxis, PostureAxisCount };
const char* PostureAxisName(int Axis); // "pitch", ...

struct Evaluation {
    double Dt = 0.01;
    std::array<std::vector<double>, ChannelCount> Vehicle; // perceived, per channel
    std::array<std::vector<double>, ChannelCount> Seat;
    std::vector<KarvelCueing::SeatPose> Postures;
    std::array<ChannelMeasures, ChannelCount> Measures;
    std::array<double, PostureAxisCount> RangeShare{}; // span used / span available

    double MeanNrmse() const;       // over the six channels
    double FalseCueSeconds() const; // summed over the six channels
};

// Progress gets the share of the ride done (0..1) now and then.
Evaluation Evaluate(const Ride& Vehicle, const Cuer& Cue, const SeatGeometry& Seat,
                    const std::function<void(double)>& Progress = {});

} // namespace KarvelCueEvaluation
