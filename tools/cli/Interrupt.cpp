#include "Interrupt.h"

#include <algorithm>
#include <atomic>
#include <thread>

namespace karvel::cli {

namespace {

// Lock-free, so a signal handler may write them.
std::atomic<int> requests{0};
std::atomic<int> firstStatus{0};
static_assert(std::atomic<int>::is_always_lock_free, "a signal handler writes these");

} // namespace

void noteInterrupt(int exitStatus) {
    int none = 0;
    firstStatus.compare_exchange_strong(none, exitStatus);
    requests.fetch_add(1);
}

int interruptions() { return requests.load(); }

int interruptedStatus() { return firstStatus.load(); }

bool sleepUntil(std::chrono::steady_clock::time_point deadline, int enough) {
    constexpr std::chrono::milliseconds kSlice{20};
    while (interruptions() < enough) {
        const auto now = std::chrono::steady_clock::now();
        if (now >= deadline) return true;
        std::this_thread::sleep_until(std::min(deadline, now + kSlice));
    }
    return false;
}

} // namespace karvel::cli
