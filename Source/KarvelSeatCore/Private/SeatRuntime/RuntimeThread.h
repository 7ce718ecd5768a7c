// What the runtime's thread asks of the system: one platform difference, in RuntimeThread_win32.cpp and
// RuntimeThread_posix.cpp (each compiles to nothing on the other platform, as the engine compiles every source of
// a module).
#pragma once

namespace KarvelSeat {

// Called on the runtime's thread as it starts: its wake-ups, a few microseconds of work each frame, should come on
// time even while the game's threads keep every core busy.
void RaiseThisThreadsPriority();

} // namespace KarvelSeat
