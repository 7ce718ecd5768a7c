// Which IPv4 addresses can name a device on the seat's network.
#pragma once

#include <cstdint>

namespace karvel {

// Why no device can be reached at this address, or null when one can.
// 0.0.0.0/8 names no host (0.0.0.0 itself would reach this computer), 224.0.0.0/4
// is multicast and 240.0.0.0/4 reserved, 255.255.255.255 (broadcast) included.
inline const char* unusableAddress(const std::uint8_t (&octets)[4]) {
    if (octets[0] == 0) return "no host";
    if (octets[0] == 255 && octets[1] == 255 && octets[2] == 255 && octets[3] == 255) return "broadcast";
    if (octets[0] >= 224 && octets[0] <= 239) return "multicast";
    if (octets[0] >= 240) return "reserved";
    return nullptr;
}

} // namespace karvel
