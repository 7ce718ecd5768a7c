// `karvel replay`: streams a motion file in real time at a chosen rate, the
// posture interpolated between rows, effects set when their column changes;
// whether it ends or is interrupted, the seat is then parked softly.
#pragma once

#include "MotionFile.h"
#include "SeatSession.h"

namespace karvel::cli {

// Returns the exit status (0, or 130 when interrupted); prints a progress bar
// on a terminal and the summary on standard output.
int replay(SeatSession& seat, const MotionFile& file, double rateHz);

} // namespace karvel::cli
