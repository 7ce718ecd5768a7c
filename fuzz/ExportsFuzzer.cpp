// The exports take text and numbers from the host: none of it may crash the
// library, whatever the bytes. Nothing here opens the fixed motion port.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>

#include "Karvel.h"
#include "platform/SocketServices.h"

namespace {

void quiet(int, const char*) {}

int readInt(const std::uint8_t*& data, std::size_t& size) {
    std::int32_t value = 0;
    const std::size_t n = size < 4 ? size : 4;
    std::memcpy(&value, data, n);
    data += n;
    size -= n;
    return value;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    Ridova_SetLogCallback(&quiet);
    const int relayPort = readInt(data, size);
    const int speedPort = readInt(data, size);
    const std::string text(reinterpret_cast<const char*>(data), size);
    const std::size_t split = text.find('|');
    const std::string relayIp = text.substr(0, split);
    const std::string speedIp = split == std::string::npos ? std::string() : text.substr(split + 1);

    std::uint8_t octets[4];
    karvel::net::parseIpv4(relayIp.c_str(), octets);
    // Without a configuration these validate and then refuse: no socket, no thread.
    Ridova_SetUdpEndpoint(relayIp.c_str(), relayPort);
    Ridova_SetEffectsEndpoints(relayIp.c_str(), relayPort, speedIp.c_str(), speedPort);
    Ridova_SetWindSpeed(relayPort);
    Ridova_SetWaterMist(speedPort);
    Ridova_SetScent(relayPort ^ speedPort);
    Ridova_SetHeater(speedPort);
    Ridova_ResetPosition();
    return 0;
}
