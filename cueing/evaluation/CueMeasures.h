// How well a seat's motion stands in for a vehicle's, judged on what a
// person perceives of each (VestibularModel.h), channel by channel:
//
//   nRMSE: RMS(seat - vehicle) / max(RMS(vehicle), threshold); 0 is a
//     perfect cue, 1 is what a seat that never moves scores on a channel the
//     vehicle moves in, above 1 is worse than not moving;
//   correlation: Pearson's, of the two perceived signals;
//   lag: the delay of the seat's signal behind the vehicle's at which the two
//     match best (cross-correlation peak, -0.5 to 3 s), when they match at all;
//   false-cue time: how long the rider perceives the wrong sign: the seat's
//     signal beyond the threshold and opposite to the vehicle's.
#pragma once

#include <vector>

namespace KarvelCueEvaluation {

struct ChannelMeasures {
    double Nrmse = 0;
    double Correlation = 0;      // 0 when either signal is constant
    bool HasLag = false;         // false when the best match correlates below 0.3
    double LagSeconds = 0;
    double FalseCueSeconds = 0;
    double VehicleRms = 0;
    double SeatRms = 0;
};

constexpr double kLagSearchBefore = 0.5; // s: the seat may lead by this much
constexpr double kLagSearchAfter = 3.0;  // s: or lag by this much

// A sample is false when |Seat| > Threshold and Seat * Vehicle < 0.
bool IsFalseCue(double Vehicle, double Seat, double Threshold);

// Vehicle and Seat: one channel's perceived signals at the fixed step Dt.
ChannelMeasures MeasureChannel(const std::vector<double>& Vehicle, const std::vector<double>& Seat, double Threshold,
                               double Dt);

} // namespace KarvelCueEvaluation
