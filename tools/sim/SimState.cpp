#include "SimState.h"

namespace karvel::sim {

namespace {

bool coil(const DeviceState& device, std::size_t address) {
    return address < device.coils.size() && device.coils[address];
}

// Coil patterns of the relay board: mist 4 (on) + 5/6/7 (mode), scent 10 (on) + 8/9 (channel).
int mistLevel(const DeviceState& relay) {
    const bool on = coil(relay, 4), mist = coil(relay, 5), small = coil(relay, 6), big = coil(relay, 7);
    if (!on) return mist || small || big ? -1 : 0;
    if (mist && !small && !big) return 1;
    if (!mist && small && !big) return 2;
    if (!mist && !small && big) return 3;
    return -1;
}

int scentLevel(const DeviceState& relay) {
    const bool first = coil(relay, 8), second = coil(relay, 9), on = coil(relay, 10);
    if (!on) return first || second ? -1 : 0;
    if (first && !second) return 1;
    if (!first && second) return 2;
    return -1;
}

int windLevel(int speed) {
    switch (speed) {
    case 0: return 0;
    case 50: return 1;
    case 70: return 2;
    case 100: return 3;
    default: return -1;
    }
}

} // namespace

EffectsState effectsFrom(const DeviceState& relay, const DeviceState& speed) {
    EffectsState effects;
    constexpr std::size_t kFanSpeedRegister = 3;
    effects.fanSpeed = speed.registers.size() > kFanSpeedRegister ? speed.registers[kFanSpeedRegister] : 0;
    effects.windLevel = windLevel(effects.fanSpeed);
    effects.mistLevel = mistLevel(relay);
    effects.scentLevel = scentLevel(relay);
    effects.heater = coil(relay, 15);
    return effects;
}

const char* windName(int level) {
    static const char* const names[] = {"off", "low", "medium", "high"};
    return level >= 0 && level <= 3 ? names[level] : "irregular";
}

const char* mistName(int level) {
    static const char* const names[] = {"off", "mist", "small water", "big water"};
    return level >= 0 && level <= 3 ? names[level] : "irregular";
}

const char* scentName(int level) {
    static const char* const names[] = {"off", "channel 1", "channel 2"};
    return level >= 0 && level <= 2 ? names[level] : "irregular";
}

} // namespace karvel::sim
