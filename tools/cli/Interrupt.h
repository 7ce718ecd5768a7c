// Requests to stop the host, whatever the platform: Ctrl-C, and the system's
// requests to end (on POSIX SIGTERM, SIGHUP when the terminal goes, SIGQUIT).
// The first asks for a soft ending (the seat parked, the effects off, the
// seat homed); a second one cuts the park short, though the effects off and
// the home are still sent. Loops look at interrupted(), and a blocking read of
// standard input returns. The platform's half lives in Interrupt_<platform>.cpp.
#pragma once

#include <chrono>

namespace karvel::cli {

// Counts the stop requests from here on, and keeps a closed or broken
// standard output or error from ending the host or from being taken by a
// socket. Call first thing in main.
void catchInterrupts();
// For a thread of the host's own: stop requests go to the main thread, whose
// blocking read they must interrupt.
void keepInterruptsOffThisThread();

// Stop requests so far.
int interruptions();
inline bool interrupted() { return interruptions() > 0; }
// The exit status the first request asks for (128 + its signal number, 130
// for Ctrl-C); 0 when none came.
int interruptedStatus();

// Sleeps until `deadline`, or until `enough` stop requests have come (then false).
bool sleepUntil(std::chrono::steady_clock::time_point deadline, int enough = 1);

// For the platform's handler: one more request, asking for `exitStatus`.
// Safe in a signal handler.
void noteInterrupt(int exitStatus);

} // namespace karvel::cli
