// Replies from a device are untrusted bytes, and requests are built from the
// host's values: every check below can fail when the framing code is wrong.
#include <cstddef>
#include <cstdint>

#include "ModbusFraming.h"

using namespace karvel::modbus;

namespace {

std::uint16_t word(const std::uint8_t* bytes) { return static_cast<std::uint16_t>(bytes[0] << 8 | bytes[1]); }

// The reply a correct device gives to a write request: its address and the
// PDU's first five bytes (function, address, value or quantity).
Bytes echoOf(const Bytes& pdu) { return Bytes{kSlaveAddress, pdu[0], pdu[1], pdu[2], pdu[3], pdu[4]}; }

// One of the three writes, from four bytes of input.
Bytes writePdu(const std::uint8_t* in, bool* coils) {
    const std::uint16_t address = word(in);
    const std::uint16_t value = word(in + 2);
    switch (in[0] % 3) {
    case 0:
        return writeSingleCoilPdu(address, (value & 1) != 0);
    case 1:
        return writeSingleRegisterPdu(address, value);
    default:
        return writeMultipleCoilsPdu(address, coils, 1 + value % 64);
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const Bytes bytes(data, data + size);
    // A frame with its own CRC appended passes the check; any one bit flipped fails it.
    Bytes framed = bytes;
    const std::uint16_t crc = crc16(bytes.data(), bytes.size());
    framed.push_back(static_cast<std::uint8_t>(crc & 0xFF));
    framed.push_back(static_cast<std::uint8_t>(crc >> 8));
    if (framed.size() >= 4) {
        if (!checkRtuCrc(framed).ok) __builtin_trap();
        const std::size_t bit = size > 0 ? data[0] % (framed.size() * 8) : 0;
        framed[bit / 8] ^= static_cast<std::uint8_t>(1u << (bit % 8));
        if (checkRtuCrc(framed).ok) __builtin_trap();
    }
    if (size > 0) writeAccepted(bytes, data[0]);
    if (size < 8) return 0;

    bool coils[64];
    for (int i = 0; i < 64; ++i) coils[i] = (data[i % size] >> (i % 8)) & 1;
    const Bytes first = writePdu(data, coils);
    const Bytes second = writePdu(data + 4, coils);
    if (first.empty() || second.empty()) __builtin_trap();
    // The RTU replay check: a device's correct reply answers its own request,
    // and a reply to another write of the same function answers only when it
    // echoes the same thing. Another function is the write's own test to refuse.
    if (!rtuReplyAnswers(first, echoOf(first))) __builtin_trap();
    const bool replayAnswers = rtuReplyAnswers(second, echoOf(first));
    if (first[0] == second[0] && replayAnswers != (echoOf(first) == echoOf(second))) __builtin_trap();
    if (first[0] != second[0] && (!replayAnswers || writeAccepted(echoOf(first), second[0]))) __builtin_trap();
    // A reply's echo shows the request it answers.
    if (!writeAccepted(echoOf(first), first[0])) __builtin_trap();

    // Request frames keep their framing.
    const Bytes rtu = rtuRequest(first);
    if (rtu.size() != first.size() + 3 || !checkRtuCrc(rtu).ok) __builtin_trap();
    if (first[0] == kWriteMultipleCoils && first.size() != 6 + static_cast<std::size_t>(first[5])) __builtin_trap();
    const Bytes mbap = mbapRequest(word(data), first);
    if (mbap.size() != kMbapHeaderSize + first.size() || word(&mbap[4]) != first.size() + 1 || word(&mbap[0]) != word(data))
        __builtin_trap();
    return 0;
}
