// Parks a seat that no host drives any more, from its last known state: what
// the guard does when its host ends without a release, and what `karvel stop`
// does. It configures the library once UDP port 8410 is free (waiting, within
// a bound, while another program holds it), turns every effect off, ramps the
// seat home from the last posture within the host's envelope (the cueing
// core's park, at 100 Hz), then turns the effects off again, homes the seat
// and releases the library.
#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <string>

#include "SeatGuard/WatchedSeat.h"
#include "SeatHost/SeatLibrary.h"

namespace karvel::guard {

struct ParkOptions {
    std::chrono::milliseconds portWait{30000}; // how long port 8410 may stay in use
    double rateHz = 100;
    // A line for the user, and the state file's phase as it changes
    // ("waiting ...", "parking ...").
    std::function<void(const std::string&)> say;
    std::function<void(const std::string&)> phase;
};

struct ParkReport {
    enum class End {
        Parked,    // ramped home, effects off, released
        NotInTime, // not home within twice the park time and a second: homed at once
        AtOnce,    // no posture known: effects off and the home command only
        PortBusy,  // UDP port 8410 stayed in use: nothing sent
    };
    End end = End::Parked;
    std::uint64_t frames = 0; // of the ramp
    double seconds = 0;       // of the ramp
};

// Library: the loaded library's table. Its log lines are the caller's to show.
// Once something was sent, `seat` is what the seat was left with: home, every
// effect off.
ParkReport parkSeat(const KarvelSeat::LibraryFunctions& library, KarvelSeat::WatchedSeat& seat,
                    const ParkOptions& options);

} // namespace karvel::guard
