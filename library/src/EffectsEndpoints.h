// Where the seat's two effects devices are: the relay board ("Modbus-TCP")
// and the fan speed controller ("RTU-over-TCP"), and the one check that
// configuration and the endpoint switch both apply to them.
#pragma once

#include <string>

namespace karvel {

struct EffectsEndpoints {
    std::string relayIp;
    int relayPort = 8234;
    std::string speedIp;
    int speedPort = 8234;

    bool operator==(const EffectsEndpoints& other) const {
        return relayIp == other.relayIp && relayPort == other.relayPort && speedIp == other.speedIp &&
               speedPort == other.speedPort;
    }
};

// Ports 1..65535, IPv4 text naming a usable address (not 0.0.0.0/8,
// multicast, reserved or broadcast) and two distinct endpoints, checked in
// that order. A refusal is logged as one ERROR line that begins with
// `caller` ("setEffectsEndpoints", "EffectsController").
bool effectsEndpointsAccepted(const char* caller, const EffectsEndpoints& endpoints);

} // namespace karvel
