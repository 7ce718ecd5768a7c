// What the envelope lets a seat's drive do, whatever the cueing profile: each
// support axis stays EndMargin of its stroke clear of either end, and its crank
// (the quantity the drive is commanded in: pulses are crank angle) turns no
// faster than CrankSpeed and changes speed no faster than CrankAcceleration.
//
// The crank limits are what the fastest preset asks of the drive in the middle
// of the stroke, every posture axis at its velocity (acceleration) limit at
// once, through the model's crank geometry there. So in the middle of the
// stroke a preset is never held back by them; towards the ends, where the same
// motion of the seat turns the crank up to several times faster, they slow the
// seat instead of letting the drive race.
#pragma once

#include "SeatCoreApi.h"

#include "SeatModels/SeatModel.h"

namespace KarvelCueing {

struct PlatformLimits {
    double EndMargin;         // share of the stroke
    double CrankSpeed;        // rad/s of the crank
    double CrankAcceleration; // rad/s^2 of the crank
};

// Kept clear at either end of each axis's stroke: 5 mm of an Orvida's 100 mm,
// 9 mm of a Tamsel's 180 mm; a sixth of the crank's half turn or more.
constexpr double EndMarginOfStroke = 0.05;

KARVELSEATCORE_API PlatformLimits PlatformLimitsFor(const KarvelSeat::SeatModel& Model);

} // namespace KarvelCueing
