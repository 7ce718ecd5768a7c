#include "Interrupt.h"

#include <algorithm>
#include <csignal>
#include <thread>

namespace karvel::cli {

namespace {

volatile std::sig_atomic_t stopRequested = 0;

void onSignal(int) { stopRequested = 1; }

} // namespace

void catchInterrupts() {
    struct sigaction action {};
    action.sa_handler = &onSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESETHAND; // no SA_RESTART: a blocked read returns
    sigaction(SIGINT, &action, nullptr);
    sigaction(SIGTERM, &action, nullptr);
}

bool interrupted() { return stopRequested != 0; }

bool sleepUntil(std::chrono::steady_clock::time_point deadline) {
    constexpr std::chrono::milliseconds kSlice{20};
    while (!interrupted()) {
        const auto now = std::chrono::steady_clock::now();
        if (now >= deadline) return true;
        std::this_thread::sleep_until(std::min(deadline, now + kSlice));
    }
    return false;
}

} // namespace karvel::cli
