#include "EffectsEndpoints.h"

#include <cstring>

#include "Ipv4Address.h"
#include "LogSink.h"
#include "platform/SocketServices.h"

namespace karvel {
namespace {

bool validPort(int port) { return port >= 1 && port <= 65535; }

} // namespace

bool effectsEndpointsAccepted(const char* caller, const EffectsEndpoints& endpoints) {
    const char* relayIp = endpoints.relayIp.c_str();
    const char* speedIp = endpoints.speedIp.c_str();
    if (!validPort(endpoints.relayPort) || !validPort(endpoints.speedPort)) {
        // Only the low 16 bits would reach the socket: never connect to a port nobody asked for.
        logLine(kLogError, "[Ridova][ERROR] %s invalid port: relay=%d speed=%d", caller, endpoints.relayPort,
                endpoints.speedPort);
        return false;
    }
    std::uint8_t relay[4];
    std::uint8_t speed[4];
    if (!net::parseIpv4(relayIp, relay) || !net::parseIpv4(speedIp, speed)) {
        logLine(kLogError, "[Ridova][ERROR] %s invalid IP: relay=%s speed=%s", caller, relayIp, speedIp);
        return false;
    }
    const char* unusable = unusableAddress(relay);
    if (unusable == nullptr) unusable = unusableAddress(speed);
    if (unusable != nullptr) {
        logLine(kLogError, "[Ridova][ERROR] %s unusable IP: relay=%s speed=%s (%s)", caller, relayIp, speedIp,
                unusable);
        return false;
    }
    // One device cannot be both: every request of one framing would meet a device speaking the other.
    if (std::memcmp(relay, speed, sizeof relay) == 0 && endpoints.relayPort == endpoints.speedPort) {
        logLine(kLogError, "[Ridova][ERROR] %s requires distinct relay/speed endpoints (MBAP vs RTU-over-TCP)", caller);
        return false;
    }
    return true;
}

} // namespace karvel
