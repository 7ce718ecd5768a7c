// The built Karvel shared library, loaded by path once per process, and the
// seat configured towards a loopback receiver.
#pragma once

#include "KarvelLibrary.h"

namespace karvel::bench {

// The loaded library; throws when it cannot be loaded or bound.
host::KarvelLibrary& seatLibrary();

// Configures a motion-only seat sending to 127.0.0.1:port. Another program
// holding the fixed source port briefly is retried for a few seconds.
bool configureSeat(int port);

// One of a cycle of kPostureCycle distinct postures.
struct Posture {
    float pitch, roll, yaw, height;
};
inline constexpr int kPostureCycle = 1000;
Posture postureAt(long k);

} // namespace karvel::bench
