// The commands of `karvel run`, one a line, from standard input or a file:
//   posture PITCH ROLL YAW HEIGHT     rotate PITCH YAW ROLL [HEIGHT]
//   home                              wait SECONDS
//   wind 0..3   mist 0..3   scent 0..2   heater on|off   off
//   udp-endpoint IP:PORT              effects-endpoints RELAY_IP:PORT SPEED_IP:PORT
//   help                              quit
// Blank lines and lines starting with # are skipped. `posture`, `rotate` and
// `home` set the target that the seat's motion moves to, through its
// envelope, on every frame from the start of the script to its end; `wait`
// lets it get there.
#pragma once

#include <istream>
#include <string>

#include "SeatMotion.h"
#include "SeatSession.h"

namespace karvel::cli {

// What the commands drive.
struct RunTarget {
    SeatSession& seat;
    SeatMotion& motion;
};

// Runs one line. Throws UsageError for bad input (the message names the
// problem), std::runtime_error when the library refuses; false on quit.
bool runCommand(const RunTarget& target, const std::string& line);

// Streams the seat from home and runs every line of `input`; `source` names
// it in messages. `interactive` (a terminal): a prompt before each line, and
// a bad line is reported without ending the run. Stops at a stop request.
// Returns the exit status: 0, or 2 after bad input.
int runScript(const RunTarget& target, std::istream& input, const std::string& source, bool interactive);

} // namespace karvel::cli
