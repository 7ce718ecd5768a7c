// CRC-16/MODBUS the table way, apart from the library's bitwise one: the
// fuzzers' own account of what a correct RTU frame ends with.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

inline std::uint16_t referenceCrc(const std::uint8_t* bytes, std::size_t length) {
    static const auto table = [] {
        std::array<std::uint16_t, 256> entries{};
        for (unsigned i = 0; i < 256; ++i) {
            unsigned crc = i;
            for (int bit = 0; bit < 8; ++bit) crc = (crc >> 1) ^ ((crc & 1u) ? 0xA001u : 0u);
            entries[i] = static_cast<std::uint16_t>(crc);
        }
        return entries;
    }();
    std::uint16_t crc = 0xFFFF;
    for (std::size_t i = 0; i < length; ++i) crc = static_cast<std::uint16_t>((crc >> 8) ^ table[(crc ^ bytes[i]) & 0xFF]);
    return crc;
}
