// The guard's watch over its host: reads the host's lines from standard input
// until it ends, keeping the seat's last known state in the state file
// (written within a quarter of a second of a change, and once more at the end).
#pragma once

#include <functional>
#include <string>

#include "SeatGuard/WatchedSeat.h"
#include "StateFile.h"

namespace karvel::guard {

struct WatchOutcome {
    KarvelSeat::WatchedSeat seat;
    std::string refused; // why the guard stopped reading early (another format); empty when the input ended
};

// `say` gets a line for each line of input that could not be used.
WatchOutcome watchHost(const StateFile& file, const std::string& phase,
                       const std::function<void(const std::string&)>& say);

} // namespace karvel::guard
