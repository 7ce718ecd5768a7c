#include "LineGate.h"

#include "LogCapture.h"

namespace karvel::test {

LineGate& LineGate::instance() {
    static LineGate gate;
    return gate;
}

void LineGate::callback(int level, const char* message) {
    LogCapture::callback(level, message);
    if (message != nullptr) instance().pass(message);
}

void LineGate::pass(const char* message) {
    std::unique_lock<std::mutex> lock(mutex_);
    if (!armed_ || std::string(message).compare(0, prefix_.size(), prefix_) != 0) return;
    armed_ = false;
    held_ = true;
    changed_.notify_all();
    changed_.wait_for(lock, std::chrono::seconds(30), [this] { return open_; });
    held_ = false;
}

void LineGate::arm(const std::string& prefix) {
    std::lock_guard<std::mutex> lock(mutex_);
    prefix_ = prefix;
    armed_ = true;
    open_ = false;
}

bool LineGate::waitHeld(std::chrono::milliseconds deadline) {
    std::unique_lock<std::mutex> lock(mutex_);
    return changed_.wait_for(lock, deadline, [this] { return held_; });
}

void LineGate::open() {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        armed_ = false;
        open_ = true;
    }
    changed_.notify_all();
}

} // namespace karvel::test
