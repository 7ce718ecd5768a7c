// What karvel-guard and `karvel stop` need of the operating system, in one thin layer
// (GuardSystem_posix.cpp, GuardSystem_win32.cpp).
#pragma once

#include <cstddef>
#include <string>

namespace karvel::guard {

// Keeps the guard alive through what ends its host with it: Ctrl-C and the
// terminal's end (the guard runs in a session of its own on POSIX and without
// a console on Windows, so these are a second line), and writes to a closed
// standard error.
void ignoreStopRequests();

// Reads up to `size` bytes of standard input, waiting for at least one; 0 at
// its end (the host closed it or ended) or on an error.
std::size_t readInput(char* buffer, std::size_t size);

// The per-user folder of the guard's state file: $XDG_STATE_HOME/karvel,
// ~/.local/state/karvel or /tmp/karvel-UID on POSIX; %LOCALAPPDATA%\Karvel or
// the temporary folder's Karvel on Windows.
std::string defaultStateDir();

// Puts `from` in place of `to` in one step, replacing it: a reader sees the
// old file or the new, never part of one. False when it could not.
bool replaceFile(const std::string& from, const std::string& to);

int processId();

} // namespace karvel::guard
