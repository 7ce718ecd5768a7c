// Starts karvel-guard for a host of our own (karvel, the tests), with a pipe
// to its standard input; the engine plugin starts it with the engine's process
// functions instead. The guard outlives its host: on POSIX it runs in a
// session of its own (the terminal's Ctrl-C and hang-up do not reach it), on
// Windows without a console and, where the host's job allows, outside its job.
// It inherits nothing of the host but its standard output and error.
// One thin layer per system: GuardSpawn_posix.cpp, GuardSpawn_win32.cpp.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "SeatGuard/GuardProcess.h"

namespace karvel::guard {

struct GuardCommand {
    std::string program;            // karvel-guard: a path, or a name for the search path
    std::vector<std::string> words; // its options
};

// The guard's options for a host: the library it loaded, and where the state
// file goes (empty: the guard's default).
GuardCommand guardCommand(const std::string& program, const std::string& library, const std::string& stateDir);

// Null, with `error`, when it could not be started.
std::unique_ptr<KarvelSeat::GuardProcess> startGuard(const GuardCommand& command, std::string& error);

// karvel-guard, karvel-guard.exe
const char* guardFileName();

} // namespace karvel::guard
