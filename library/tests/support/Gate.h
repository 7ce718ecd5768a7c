// Holds threads at a chosen point (inside a log callback, say) until the test
// lets them go, and tells the test how many have arrived: a moment a
// scheduler could choose, chosen by the test.
#pragma once

#include <chrono>
#include <condition_variable>
#include <mutex>

namespace karvel::test {

class Gate {
public:
    // Waits here until let go (at once, if it was already).
    void arrive() {
        std::unique_lock<std::mutex> lock(mutex_);
        ++arrived_;
        changed_.notify_all();
        changed_.wait(lock, [&] { return open_; });
    }
    bool waitArrived(int count, std::chrono::seconds deadline = std::chrono::seconds(30)) {
        std::unique_lock<std::mutex> lock(mutex_);
        return changed_.wait_for(lock, deadline, [&] { return arrived_ >= count; });
    }
    void letGo() {
        std::lock_guard<std::mutex> lock(mutex_);
        open_ = true;
        changed_.notify_all();
    }

private:
    std::mutex mutex_;
    std::condition_variable changed_;
    int arrived_ = 0;
    bool open_ = false;
};

} // namespace karvel::test
