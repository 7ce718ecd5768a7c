#include "ModbusSlave.h"

namespace karvel::sim {

namespace {

using Bytes = std::vector<std::uint8_t>;

// Quantity limits of the protocol, per request.
constexpr unsigned kMaxReadBits = 2000;
constexpr unsigned kMaxReadRegisters = 125;
constexpr unsigned kMaxWriteBits = 1968;
constexpr unsigned kMaxWriteRegisters = 123;

unsigned word(const std::uint8_t* at) { return (unsigned{at[0]} << 8) | at[1]; }

void putWord(Bytes& out, unsigned value) {
    out.push_back(static_cast<std::uint8_t>(value >> 8));
    out.push_back(static_cast<std::uint8_t>(value));
}

Bytes exception(std::uint8_t function, ModbusException code) {
    return {static_cast<std::uint8_t>(function | 0x80), code};
}

bool outside(unsigned address, unsigned quantity, std::size_t count) { return address + quantity > count; }

Bytes readBits(std::uint8_t function, unsigned address, unsigned quantity, const std::vector<bool>& bits) {
    if (quantity < 1 || quantity > kMaxReadBits) return exception(function, kIllegalDataValue);
    if (outside(address, quantity, bits.size())) return exception(function, kIllegalDataAddress);
    Bytes reply{function, static_cast<std::uint8_t>((quantity + 7) / 8)};
    reply.resize(2 + reply[1], 0);
    for (unsigned i = 0; i < quantity; ++i)
        if (bits[address + i]) reply[2 + i / 8] |= static_cast<std::uint8_t>(1u << (i % 8));
    return reply;
}

Bytes readRegisters(std::uint8_t function, unsigned address, unsigned quantity,
                    const std::vector<std::uint16_t>& registers) {
    if (quantity < 1 || quantity > kMaxReadRegisters) return exception(function, kIllegalDataValue);
    if (outside(address, quantity, registers.size())) return exception(function, kIllegalDataAddress);
    Bytes reply{function, static_cast<std::uint8_t>(quantity * 2)};
    for (unsigned i = 0; i < quantity; ++i) putWord(reply, registers[address + i]);
    return reply;
}

Bytes writeSingleCoil(const std::uint8_t* pdu, std::vector<bool>& coils) {
    const unsigned address = word(pdu + 1), value = word(pdu + 3);
    if (address >= coils.size()) return exception(pdu[0], kIllegalDataAddress);
    if (value != 0xFF00 && value != 0x0000) return exception(pdu[0], kIllegalDataValue);
    coils[address] = value == 0xFF00;
    return Bytes(pdu, pdu + 5);
}

Bytes writeSingleRegister(const std::uint8_t* pdu, std::vector<std::uint16_t>& registers) {
    const unsigned address = word(pdu + 1);
    if (address >= registers.size()) return exception(pdu[0], kIllegalDataAddress);
    registers[address] = static_cast<std::uint16_t>(word(pdu + 3));
    return Bytes(pdu, pdu + 5);
}

// Function, address, quantity, byte count, values: `size` bytes in all.
Bytes writeMultipleCoils(const std::uint8_t* pdu, std::size_t size, std::vector<bool>& coils) {
    const unsigned address = word(pdu + 1), quantity = word(pdu + 3), bytes = pdu[5];
    if (quantity < 1 || quantity > kMaxWriteBits || bytes != (quantity + 7) / 8 || size != 6 + bytes)
        return exception(pdu[0], kIllegalDataValue);
    if (outside(address, quantity, coils.size())) return exception(pdu[0], kIllegalDataAddress);
    for (unsigned i = 0; i < quantity; ++i) coils[address + i] = (pdu[6 + i / 8] >> (i % 8)) & 1;
    return Bytes(pdu, pdu + 5);
}

Bytes writeMultipleRegisters(const std::uint8_t* pdu, std::size_t size, std::vector<std::uint16_t>& registers) {
    const unsigned address = word(pdu + 1), quantity = word(pdu + 3), bytes = pdu[5];
    if (quantity < 1 || quantity > kMaxWriteRegisters || bytes != quantity * 2 || size != 6 + bytes)
        return exception(pdu[0], kIllegalDataValue);
    if (outside(address, quantity, registers.size())) return exception(pdu[0], kIllegalDataAddress);
    for (unsigned i = 0; i < quantity; ++i) registers[address + i] = static_cast<std::uint16_t>(word(pdu + 6 + 2 * i));
    return Bytes(pdu, pdu + 5);
}

} // namespace

Bytes answerRequest(const std::uint8_t* pdu, std::size_t size, DeviceMemory& memory) {
    if (size == 0) return {};
    const std::uint8_t function = pdu[0];
    const bool known = function <= 0x06 || function == 0x0F || function == 0x10;
    if (function == 0 || !known) return exception(function, kIllegalFunction);
    const std::size_t fixedPart = function <= 0x06 ? 5 : 6;
    if (size < fixedPart || (fixedPart == 5 && size != 5)) return exception(function, kIllegalDataValue);
    static const std::vector<bool> noInputs;
    static const std::vector<std::uint16_t> noInputRegisters;
    switch (function) {
    case 0x01: return readBits(function, word(pdu + 1), word(pdu + 3), memory.coils);
    case 0x02: return readBits(function, word(pdu + 1), word(pdu + 3), noInputs);
    case 0x03: return readRegisters(function, word(pdu + 1), word(pdu + 3), memory.registers);
    case 0x04: return readRegisters(function, word(pdu + 1), word(pdu + 3), noInputRegisters);
    case 0x05: return writeSingleCoil(pdu, memory.coils);
    case 0x06: return writeSingleRegister(pdu, memory.registers);
    case 0x0F: return writeMultipleCoils(pdu, size, memory.coils);
    default: return writeMultipleRegisters(pdu, size, memory.registers);
    }
}

} // namespace karvel::sim
