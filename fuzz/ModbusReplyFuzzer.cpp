// Replies from a device are untrusted bytes, and requests are built from the
// host's values. Each framing's table must accept exactly the reply a correct
// device gives to the request (or its exception reply), whatever else comes:
// every check below can fail when a framing's code is wrong. The expected
// frames are built here, apart from the library's code.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "ModbusFraming.h"
#include "ReferenceCrc.h"

using namespace karvel::modbus;

namespace {

std::uint16_t word(const std::uint8_t* bytes) { return static_cast<std::uint16_t>(bytes[0] << 8 | bytes[1]); }

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

// What a correct device answers: the PDU's function and the address and value
// (or quantity) it echoes, or the function with bit 7 and an exception code.
Bytes echoPdu(const Bytes& pdu) { return Bytes(pdu.begin(), pdu.begin() + 5); }
Bytes exceptionPdu(const Bytes& pdu, std::uint8_t code) {
    return Bytes{static_cast<std::uint8_t>(pdu[0] | 0x80), code};
}

Bytes mbapFrame(std::uint16_t transaction, const Bytes& pdu) {
    Bytes frame{static_cast<std::uint8_t>(transaction >> 8), static_cast<std::uint8_t>(transaction), 0, 0,
                static_cast<std::uint8_t>((pdu.size() + 1) >> 8), static_cast<std::uint8_t>(pdu.size() + 1), 1};
    frame.insert(frame.end(), pdu.begin(), pdu.end());
    return frame;
}

Bytes rtuFrame(const Bytes& pdu) {
    Bytes frame{1};
    frame.insert(frame.end(), pdu.begin(), pdu.end());
    const std::uint16_t crc = referenceCrc(frame.data(), frame.size());
    frame.push_back(static_cast<std::uint8_t>(crc & 0xFF));
    frame.push_back(static_cast<std::uint8_t>(crc >> 8));
    return frame;
}

// One framing as a correct device speaks it, built here.
struct Wire {
    const Framing& framing;
    std::uint16_t transaction;
    Bytes frame(const Bytes& pdu) const { return &framing == &kRtuOverTcp ? rtuFrame(pdu) : mbapFrame(transaction, pdu); }
};

// The table's verdict on any frame agrees with what a correct device could have sent.
void checkVerdict(const Wire& wire, const Bytes& pdu, const Bytes& frame) {
    const Bytes request = wire.framing.buildRequest(wire.transaction, pdu);
    Bytes reply{0xEE};
    const Result result = wire.framing.checkReply(request, frame, reply);
    if (result.accepted() != (frame == wire.frame(echoPdu(pdu)))) __builtin_trap();
    if (result.failure == Failure::Exception &&
        frame != wire.frame(exceptionPdu(pdu, static_cast<std::uint8_t>(result.got))))
        __builtin_trap();
    if (result.answered() == reply.empty()) __builtin_trap();
}

void checkFraming(const Wire& wire, const Bytes& pdu, const Bytes& other, std::uint8_t code, const Bytes& device,
                  std::uint8_t changeAt, std::uint8_t changeTo) {
    const Bytes echo = wire.frame(echoPdu(pdu));
    checkVerdict(wire, pdu, echo);
    Bytes reply;
    const Result refusal =
        wire.framing.checkReply(wire.framing.buildRequest(wire.transaction, pdu), wire.frame(exceptionPdu(pdu, code)), reply);
    if (refusal.failure != Failure::Exception || refusal.got != code) __builtin_trap();
    // A reply to another write answers this one only when it echoes the same.
    checkVerdict(wire, pdu, wire.frame(echoPdu(other)));
    checkVerdict(wire, pdu, device);
    // The correct reply with one byte changed, as the input says.
    Bytes changed = echo;
    changed[changeAt % changed.size()] = changeTo;
    checkVerdict(wire, pdu, changed);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 12) return 0;
    bool coils[64];
    for (int i = 0; i < 64; ++i) coils[i] = (data[i % size] >> (i % 8)) & 1;
    const Bytes pdu = writePdu(data, coils);
    const Bytes other = writePdu(data + 4, coils);
    if (pdu.empty() || other.empty()) __builtin_trap();
    const std::uint16_t transaction = word(data + 8);
    const Bytes device(data + 12, data + size); // whatever a device sends

    // Requests keep their framing.
    const Bytes mbap = kModbusTcp.buildRequest(transaction, pdu);
    if (mbap != mbapFrame(transaction, pdu)) __builtin_trap();
    if (kRtuOverTcp.buildRequest(transaction, pdu) != rtuFrame(pdu)) __builtin_trap();
    if (pdu[0] == kWriteMultipleCoils && pdu.size() != 6 + static_cast<std::size_t>(pdu[5])) __builtin_trap();

    checkFraming(Wire{kModbusTcp, transaction}, pdu, other, data[10], device, data[11], data[9]);
    checkFraming(Wire{kRtuOverTcp, transaction}, pdu, other, data[10], device, data[11], data[9]);
    // A reply for another transaction never answers.
    Bytes reply;
    if (kModbusTcp.checkReply(mbap, mbapFrame(static_cast<std::uint16_t>(transaction + 1), echoPdu(pdu)), reply)
            .answered())
        __builtin_trap();
    return 0;
}
