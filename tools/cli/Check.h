// `karvel check`: commissions a seat from its PC. Moves the seat gently
// through each axis and back (the gentle profile's envelope), switches each
// effect on at its lowest level and off again, and then, the library
// released, reports per device what the library said of it.
#pragma once

#include <string>

#include "DeviceReport.h"
#include "SeatMotion.h"
#include "SeatSession.h"

namespace karvel::cli {

struct CheckSetup {
    double holdSeconds = 1; // each axis's end and each effect, for the operator to see and hear
};

// The moves and the effects; the exit status (0: a stop request is the
// caller's to report).
int checkSeat(SeatSession& seat, SeatMotion& motion, const CheckSetup& setup);

// The report once the library is released: a line per device, and the exit
// status: 0 when every effects device answered to the end, 1 when one did
// not. `relay` and `speed` are nullptr for a seat without effects.
struct CheckedSeat {
    std::string motion, relay, speed; // "IPv4:port"; relay and speed empty for a seat without effects
};
int reportCheck(const CheckedSeat& seat, const DeviceReports& reports);

} // namespace karvel::cli
