#include "EffectJudge.h"

#include <vector>

namespace karvel::soak {
namespace {

// The device map, written out here rather than taken from the library.
constexpr int kFanSpeedForLevel[] = {0, 50, 70, 100};
constexpr int kWaterMistFirstCoil = 4;
constexpr int kScentFirstCoil = 8;
constexpr int kHeaterCoil = 15;

bool onRelay(Effect effect) { return effect != Effect::Wind; }

} // namespace

EffectJudge::EffectJudge(const FaultyDevices& devices, Clock::duration bound) : devices_(devices), bound_(bound) {}

void EffectJudge::issued(Effect effect, int level) {
    Pending& slot = pending_[static_cast<std::size_t>(effect)];
    const bool down = onRelay(effect) ? !devices_.relayCoils(0, 1) : !devices_.fanSpeed();
    std::lock_guard<std::mutex> lock(mutex_);
    if (slot.active) ++verdicts_.superseded;
    slot = Pending{true, level, Clock::now(), devices_.faultsMet(onRelay(effect)), down};
    ++verdicts_.issued;
}

EffectVerdicts EffectJudge::verdicts() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return verdicts_;
}

bool EffectJudge::holds(Effect effect, int level) const {
    switch (effect) {
    case Effect::Wind: {
        const auto speed = devices_.fanSpeed();
        return speed && *speed == kFanSpeedForLevel[level >= 0 && level <= 3 ? level : 0];
    }
    case Effect::WaterMist: {
        const auto coils = devices_.relayCoils(kWaterMistFirstCoil, 4);
        return coils && *coils == std::vector<bool>{level != 0, level == 1, level == 2, level == 3};
    }
    case Effect::Scent: {
        const auto coils = devices_.relayCoils(kScentFirstCoil, 3);
        return coils && *coils == std::vector<bool>{level == 1, level == 2, level != 0};
    }
    case Effect::Heater: {
        const auto coils = devices_.relayCoils(kHeaterCoil, 1);
        return coils && (*coils)[0] == (level != 0);
    }
    }
    return false;
}

void EffectJudge::check() {
    const Clock::time_point now = Clock::now();
    for (std::size_t i = 0; i < pending_.size(); ++i) {
        Pending& slot = pending_[i];
        if (!slot.active) continue;
        const auto effect = static_cast<Effect>(i);
        const bool landed = holds(effect, slot.level);
        if (!landed && now - slot.at <= bound_) continue;
        const bool faultMet = slot.deviceDown || devices_.faultsMet(onRelay(effect)) > slot.faultsBefore;
        std::lock_guard<std::mutex> lock(mutex_);
        ++(landed ? verdicts_.landed : faultMet ? verdicts_.missedAfterAFault : verdicts_.missedUnexplained);
        slot.active = false;
    }
}

} // namespace karvel::soak
