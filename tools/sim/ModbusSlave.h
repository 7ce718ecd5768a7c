// What a Modbus slave answers: the reply to one request PDU (function code
// first), read from and written to the device's coils and holding registers.
// The functions are those of simple relay boards and speed controllers: read
// coils, discrete inputs, holding and input registers, write single and
// multiple coils and registers. Anything else is exception 01 (illegal
// function); an address outside the map 02; a bad quantity or value 03.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace karvel::sim {

struct DeviceMemory {
    std::vector<bool> coils;
    std::vector<std::uint16_t> registers; // holding registers
};

enum ModbusException : std::uint8_t {
    kIllegalFunction = 0x01,
    kIllegalDataAddress = 0x02,
    kIllegalDataValue = 0x03,
};

std::vector<std::uint8_t> answerRequest(const std::uint8_t* pdu, std::size_t size, DeviceMemory& memory);

} // namespace karvel::sim
