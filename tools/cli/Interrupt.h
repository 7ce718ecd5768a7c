// Ctrl-C and SIGTERM ask the host to stop: loops look at interrupted(), and a
// blocking read of standard input returns. A second Ctrl-C ends the process.
#pragma once

#include <chrono>

namespace karvel::cli {

void catchInterrupts();
bool interrupted();
// Sleeps until `deadline` or an interrupt; false when interrupted.
bool sleepUntil(std::chrono::steady_clock::time_point deadline);

} // namespace karvel::cli
