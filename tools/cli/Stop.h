// `karvel stop`: brings home a seat whose host is gone and turns its effects
// off, from the state its guard last knew (karvel-guard's state file): when
// the guard itself is gone too, or gave up waiting for UDP port 8410. With a
// known posture the seat is parked softly within the host's envelope; with
// none (no state file) the effects go off and the seat is homed at once, with
// a warning, since a soft ramp needs a known start.
#pragma once

#include <string>

#include "SeatHost/SeatLibrary.h"
#include "SeatSession.h"

namespace karvel::cli {

struct StopOptions {
    std::string stateDir;      // empty: the guard's default folder
    double portWaitSeconds = 10;
    SeatSetup seat;            // the seat to stop when no state is known
};

// The exit status: 0 stopped, 1 nothing sent (UDP port 8410 stayed in use).
int stopSeat(const KarvelSeat::LibraryFunctions& library, const StopOptions& options);

} // namespace karvel::cli
