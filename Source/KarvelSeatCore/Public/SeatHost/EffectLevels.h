// The effect levels in force: what a host last commanded (nothing is read back from the devices).
#pragma once

namespace KarvelSeat {

struct EffectLevels {
    int Wind = 0;      // 0 off, 1 low, 2 medium, 3 high
    int WaterMist = 0; // 0 off, 1 mist, 2 small water, 3 big water
    int Scent = 0;     // 0 off, 1 channel 1, 2 channel 2
    bool Heater = false;

    bool AnyOn() const { return Wind != 0 || WaterMist != 0 || Scent != 0 || Heater; }
};

} // namespace KarvelSeat
