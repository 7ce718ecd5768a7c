// Time in the tests: how long something took, and a game's frame clock.
#pragma once

#include <chrono>
#include <thread>

namespace karvel::test {

inline double secondsSince(std::chrono::steady_clock::time_point start) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

// The game's frame clock: call(frame) once a frame at 60 Hz for `seconds`.
// Pacing only: nothing here waits for a thread of the library.
template <typename Call>
void atSixtyHertz(double seconds, Call call) {
    const auto frame = std::chrono::microseconds(16667);
    auto next = std::chrono::steady_clock::now();
    for (int n = 0; n < static_cast<int>(seconds * 60); ++n) {
        call(n);
        next += frame;
        std::this_thread::sleep_until(next);
    }
}

// Whether `condition` came to hold within `deadline`; checks it over and over.
template <typename Condition>
bool becomes(Condition condition, std::chrono::milliseconds deadline = std::chrono::seconds(10)) {
    const auto end = std::chrono::steady_clock::now() + deadline;
    while (!condition()) {
        if (std::chrono::steady_clock::now() > end) return false;
        std::this_thread::yield();
    }
    return true;
}

} // namespace karvel::test
