// `karvel demo`: a built-in ride that moves every axis and sets every effect
// level, paced in real time through the seat's motion envelope, so a virtual
// (or real) seat shows it all.
#pragma once

#include "SeatMotion.h"
#include "SeatSession.h"

namespace karvel::cli {

// Plays the ride in `seconds` at the motion's rate; returns the exit status
// (0: a stop request is the caller's to report).
int demo(SeatSession& seat, SeatMotion& motion, double seconds);

} // namespace karvel::cli
