// Counts the threads that may be using the log callback, so that replacing it
// can wait for the threads that may still be inside the callback it replaced.
//
// Each thread is counted in the generation that is current when it reads the
// callback. A replacement stores the new callback, starts a new generation and
// waits for the old one only: threads that read after the store are counted in
// the new one, so lines through the new callback never keep it waiting. Two
// generations alternate; replacements that wait run one at a time.
#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>

namespace karvel {

class CallbackUsers {
public:
    // Counts the calling thread; it reads the callback only after this
    // returns, and hands the result to leave once it no longer uses it.
    unsigned enter();
    void leave(unsigned generation);

    // The two halves of enter. A thread counted in a generation that a
    // replacement ended before the thread confirmed it leaves and counts
    // again: the replacement after that one would not wait for it.
    unsigned count();
    bool confirm(unsigned generation) const;

    // For one replacement at a time, after it stored the new callback: starts
    // a new generation and returns once every thread of the old one has left.
    void waitForOlder();
    // Waits until no more than `own` counts are left (the caller's own, when
    // it is inside the callback itself), for at most `limit`; false when the
    // time ran out.
    bool waitForAllBut(int own, std::chrono::milliseconds limit);

private:
    std::atomic<unsigned> generation_{0};
    std::atomic<int> counted_[2] = {{0}, {0}};
    std::atomic<int> waiters_{0};
    std::mutex mutex_;
    std::condition_variable left_;
};

} // namespace karvel
