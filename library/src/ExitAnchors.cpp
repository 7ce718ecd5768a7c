#include "ExitAnchors.h"

namespace karvel {

ExitAnchors::Known* ExitAnchors::find(LogCallback target, bool make) {
    for (Known& known : known_) {
        if (known.callback == target) return &known;
        if (known.callback == nullptr) {
            if (!make) return nullptr;
            known.callback = target;
            return &known;
        }
    }
    return nullptr;
}

void ExitAnchors::anchor() {
    if (closeAtExit_ != nullptr && !closed_) registrar_(closeAtExit_);
}

void ExitAnchors::installed(LogCallback target) {
    std::lock_guard<std::mutex> lock(mutex_);
    const Known* known = find(target, false);
    if (known == nullptr) {
        anchor();
        known = find(target, true);
    }
    if (known == nullptr || !known->returned) awaitingReturn_.store(target, std::memory_order_relaxed);
}

void ExitAnchors::firstReturn(LogCallback target) {
    std::lock_guard<std::mutex> lock(mutex_);
    if (awaitingReturn_.load(std::memory_order_relaxed) != target) return; // another thread was first
    awaitingReturn_.store(nullptr, std::memory_order_relaxed);
    if (Known* known = find(target, false)) known->returned = true;
    anchor();
}

void ExitAnchors::close() {
    std::lock_guard<std::mutex> lock(mutex_);
    closed_ = true;
    awaitingReturn_.store(nullptr, std::memory_order_relaxed);
}

} // namespace karvel
