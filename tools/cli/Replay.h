// `karvel replay`: streams a motion file in real time at the motion's rate,
// the posture interpolated between rows and put through the safety envelope
// (a file that moves faster or further than the envelope allows is followed
// at its limits), effects set when their column changes.
#pragma once

#include "MotionFile.h"
#include "SeatMotion.h"
#include "SeatSession.h"

namespace karvel::cli {

// Returns the exit status (0: a stop request is the caller's to report);
// prints a progress bar on a terminal and the summary on standard output.
int replay(SeatSession& seat, SeatMotion& motion, const MotionFile& file);

} // namespace karvel::cli
