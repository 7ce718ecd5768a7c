// The commands of `karvel run`, one a line, from standard input or a file:
//   posture PITCH ROLL YAW HEIGHT     rotate PITCH YAW ROLL [HEIGHT]
//   home                              wait SECONDS
//   wind 0..3   mist 0..3   scent 0..2   heater on|off   off
//   udp-endpoint IP:PORT              effects-endpoints RELAY_IP:PORT SPEED_IP:PORT
//   quit
// Blank lines and lines starting with # are skipped.
#pragma once

#include <istream>
#include <string>

#include "SeatSession.h"

namespace karvel::cli {

// Runs one line. Throws UsageError for bad input (the message names the
// problem), std::runtime_error when the library refuses; false on quit.
bool runCommand(SeatSession& seat, const std::string& line);

// Runs every line of `input`; `source` names it in messages. Stops at the first
// bad line unless `interactive`. Returns the exit status: 0, 2 after bad input, 130 when interrupted.
int runScript(SeatSession& seat, std::istream& input, const std::string& source, bool interactive);

} // namespace karvel::cli
