// Judges each effect call of the soak by what the devices hold afterwards:
// a call has landed once its device shows the outputs it asks for, was
// superseded when a later call of the same effect came first, and otherwise
// missed. A miss is explained only by a fault the device met after the call;
// any other miss is a fault of the library.
#pragma once

#include <array>
#include <chrono>
#include <cstdint>
#include <mutex>

#include "FaultyDevices.h"

namespace karvel::soak {

enum class Effect { Wind, WaterMist, Scent, Heater };

struct EffectVerdicts {
    std::uint64_t issued = 0;
    std::uint64_t landed = 0;
    std::uint64_t superseded = 0;
    std::uint64_t missedAfterAFault = 0;
    std::uint64_t missedUnexplained = 0;
    std::uint64_t judged() const { return landed + superseded + missedAfterAFault + missedUnexplained; }
};

class EffectJudge {
public:
    using Clock = std::chrono::steady_clock;
    // A call not landed within `bound` has missed.
    EffectJudge(const FaultyDevices& devices, Clock::duration bound);

    void issued(Effect effect, int level);
    // Judges what can be judged now; call it often.
    void check();
    // Any thread.
    EffectVerdicts verdicts() const;

private:
    struct Pending {
        bool active = false;
        int level = 0;
        Clock::time_point at{};
        std::uint64_t faultsBefore = 0;
        bool deviceDown = false; // at the call: the library cannot have reached it
    };
    bool holds(Effect effect, int level) const;

    const FaultyDevices& devices_;
    const Clock::duration bound_;
    std::array<Pending, 4> pending_{};
    mutable std::mutex mutex_; // for verdicts_, which the watchdog reads
    EffectVerdicts verdicts_;
};

} // namespace karvel::soak
