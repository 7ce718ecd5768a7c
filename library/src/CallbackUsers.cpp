#include "CallbackUsers.h"

namespace karvel {

unsigned CallbackUsers::count() {
    const unsigned generation = generation_.load() & 1u;
    counted_[generation].fetch_add(1);
    return generation;
}

bool CallbackUsers::confirm(unsigned generation) const { return (generation_.load() & 1u) == generation; }

unsigned CallbackUsers::enter() {
    for (;;) {
        const unsigned generation = count();
        if (confirm(generation)) return generation;
        leave(generation);
    }
}

void CallbackUsers::leave(unsigned generation) {
    counted_[generation].fetch_sub(1);
    // A waiter counts itself in before it tests the counts, so either it sees
    // this thread gone or this thread sees it waiting.
    if (waiters_.load() != 0) {
        std::lock_guard<std::mutex> lock(mutex_);
        left_.notify_all();
    }
}

void CallbackUsers::waitForOlder() {
    const unsigned old = generation_.fetch_add(1) & 1u;
    std::unique_lock<std::mutex> lock(mutex_);
    waiters_.fetch_add(1);
    left_.wait(lock, [&] { return counted_[old].load() == 0; });
    waiters_.fetch_sub(1);
}

bool CallbackUsers::waitForAllBut(int own, std::chrono::milliseconds limit) {
    std::unique_lock<std::mutex> lock(mutex_);
    waiters_.fetch_add(1);
    const bool done =
        left_.wait_for(lock, limit, [&] { return counted_[0].load() + counted_[1].load() <= own; });
    waiters_.fetch_sub(1);
    return done;
}

} // namespace karvel
