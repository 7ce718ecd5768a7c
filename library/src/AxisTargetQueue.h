// The postures waiting for the motion worker, as the four axis targets of
// each: at most kCapacity, the oldest giving way to a newer one when full,
// since a stale posture is worse than a dropped one. Fixed storage, so a
// posture call allocates nothing; no lock of its own.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

namespace karvel {

struct AxisTargets {
    std::int32_t x, y, z, u;
};

class AxisTargetQueue {
public:
    static constexpr std::size_t kCapacity = 4;

    void push(const AxisTargets& targets) {
        if (count_ == kCapacity) {
            head_ = (head_ + 1) % kCapacity;
            --count_;
            ++dropped_;
        }
        slots_[(head_ + count_) % kCapacity] = targets;
        ++count_;
    }
    bool empty() const { return count_ == 0; }
    AxisTargets pop() {
        const AxisTargets front = slots_[head_];
        head_ = (head_ + 1) % kCapacity;
        --count_;
        return front;
    }
    void clear() { head_ = count_ = 0; }
    // How many gave way since the last call.
    std::uint64_t takeDropped() {
        const std::uint64_t dropped = dropped_;
        dropped_ = 0;
        return dropped;
    }

private:
    std::array<AxisTargets, kCapacity> slots_{};
    std::size_t head_ = 0;
    std::size_t count_ = 0;
    std::uint64_t dropped_ = 0;
};

} // namespace karvel
