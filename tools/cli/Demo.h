// `karvel demo`: a built-in ride that moves every axis and sets every effect
// level, paced in real time, so a virtual (or real) seat shows it all.
#pragma once

#include "SeatSession.h"

namespace karvel::cli {

// Plays the ride in `seconds` at `rateHz`; returns the exit status (130 when interrupted).
int demo(SeatSession& seat, double seconds, double rateHz);

} // namespace karvel::cli
