#include "SeatLibrary.h"

#include <chrono>
#include <stdexcept>
#include <thread>

namespace karvel::bench {

host::KarvelLibrary& seatLibrary() {
    static host::KarvelLibrary library(KARVEL_LIBRARY_PATH);
    if (!library.bound()) throw std::runtime_error("cannot load " KARVEL_LIBRARY_PATH ": " + library.error());
    return library;
}

bool configureSeat(int port) {
    host::KarvelLibrary& library = seatLibrary();
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (!library.SetConfiguration(0, "127.0.0.1", port, 0, "", 0, "", 0)) {
        if (std::chrono::steady_clock::now() > deadline) return false;
        // Port 8410 is held by another program; ask again shortly.
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    return true;
}

Posture postureAt(long k) {
    const int step = static_cast<int>(k % kPostureCycle);
    const float pitch = static_cast<float>(step % 40 - 20) * 0.5f;
    const float roll = static_cast<float>(step / 40 - 12) * 0.5f;
    // Yaw turns the fourth axis alone, so it keeps every frame of the cycle distinct.
    const float yaw = static_cast<float>(step) * 0.25f - 125.0f;
    return Posture{pitch, roll, yaw, 0.5f};
}

} // namespace karvel::bench
