// The library's six effects functions, looked up by name beside the motion
// exports that KarvelLibrary binds. A library built without them still loads;
// available() then says false and the tools leave the effects alone.
#pragma once

#include <string>

#include "KarvelLibrary.h"

namespace karvel::tools {

class EffectsExports {
public:
    explicit EffectsExports(const std::string& path);

    // All six were found.
    bool available() const { return available_; }

    bool (*SetEffectsEndpoints)(const char* relayIp, int relayPort, const char* speedIp, int speedPort) = nullptr;
    void (*SetWindSpeed)(int level) = nullptr;
    void (*SetWaterMist)(int level) = nullptr;
    void (*SetScent)(int level) = nullptr;
    void (*SetHeater)(int on) = nullptr;
    void (*TurnOffAllEffects)() = nullptr;

private:
    host::DynamicLibrary library_; // a second reference to the same loaded file
    bool available_ = false;
};

} // namespace karvel::tools
