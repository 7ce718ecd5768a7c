#include "ModbusFraming.h"

namespace karvel::sim {

namespace {

constexpr std::size_t kMbapHeader = 7; // transaction, protocol, length, unit
constexpr std::size_t kMaxMbapLength = 254; // unit identifier and a 253-byte PDU

FrameScan malformed(std::size_t length, std::string reason) {
    return {FrameScan::Malformed, length, std::move(reason)};
}

// The PDU length a request of a known function must have, or 0 when the
// function is unknown (the device answers those with an exception).
std::size_t expectedPduLength(const std::uint8_t* pdu, std::size_t available) {
    switch (pdu[0]) {
    case 0x01: case 0x02: case 0x03: case 0x04: case 0x05: case 0x06: return 5;
    case 0x0F: case 0x10: return available >= 6 ? 6 + std::size_t{pdu[5]} : 6;
    default: return 0;
    }
}

FrameScan scanMbap(const std::vector<std::uint8_t>& stream) {
    if (stream.size() < kMbapHeader) return {};
    const unsigned protocol = (stream[2] << 8) | stream[3];
    const std::size_t length = (std::size_t{stream[4]} << 8) | stream[5];
    // With a broken length field the stream cannot be followed any more.
    if (length < 2 || length > kMaxMbapLength)
        return malformed(stream.size(), "MBAP length " + std::to_string(length) + " outside 2..254");
    const std::size_t total = 6 + length;
    if (stream.size() < total) return {};
    if (protocol != 0) return malformed(total, "MBAP protocol identifier " + std::to_string(protocol));
    const std::size_t pduLength = length - 1;
    const std::size_t expected = expectedPduLength(stream.data() + kMbapHeader, pduLength);
    if (expected != 0 && expected != pduLength)
        return malformed(total, "PDU of " + std::to_string(pduLength) + " bytes, function needs " +
                                    std::to_string(expected));
    return {FrameScan::Request, total, {}};
}

FrameScan scanRtu(const std::vector<std::uint8_t>& stream, std::uint8_t slave) {
    if (stream.size() < 2) return {};
    std::size_t total = expectedPduLength(stream.data() + 1, stream.size() - 1);
    if (total == 0) {
        // An unknown function has no length rule: what has arrived is the
        // frame, as the silence after it would delimit it on a serial line.
        if (stream.size() < 4) return {};
        total = stream.size();
    } else {
        total += 3; // slave address and CRC
    }
    if (stream.size() < total) return {};
    const std::uint16_t expected = crc16(stream.data(), total - 2);
    const std::uint16_t received = static_cast<std::uint16_t>(stream[total - 2] | (stream[total - 1] << 8));
    // After a bad CRC nothing in the buffer can be trusted; drop it all.
    if (received != expected)
        return malformed(stream.size(), "CRC " + std::to_string(received) + " instead of " + std::to_string(expected));
    if (stream[0] != slave) return {FrameScan::Ignored, total, {}};
    return {FrameScan::Request, total, {}};
}

} // namespace

const char* framingName(Framing framing) { return framing == Framing::ModbusTcp ? "Modbus-TCP" : "RTU-over-TCP"; }

std::uint16_t crc16(const std::uint8_t* data, std::size_t size) {
    std::uint16_t crc = 0xFFFF;
    for (std::size_t i = 0; i < size; ++i) {
        crc ^= data[i];
        for (int bit = 0; bit < 8; ++bit) crc = (crc & 1) ? static_cast<std::uint16_t>((crc >> 1) ^ 0xA001) : crc >> 1;
    }
    return crc;
}

FrameScan scanFrame(Framing framing, const std::vector<std::uint8_t>& stream, std::uint8_t slave) {
    return framing == Framing::ModbusTcp ? scanMbap(stream) : scanRtu(stream, slave);
}

std::vector<std::uint8_t> requestPdu(Framing framing, const std::uint8_t* frame, std::size_t length) {
    if (framing == Framing::ModbusTcp) return {frame + kMbapHeader, frame + length};
    return {frame + 1, frame + length - 2}; // without the slave address and the CRC
}

std::vector<std::uint8_t> replyFrame(Framing framing, const std::uint8_t* request, const std::vector<std::uint8_t>& pdu) {
    std::vector<std::uint8_t> frame;
    if (framing == Framing::ModbusTcp) {
        const std::size_t length = pdu.size() + 1; // the unit identifier and the PDU
        frame = {request[0], request[1], 0, 0, static_cast<std::uint8_t>(length >> 8),
                 static_cast<std::uint8_t>(length), request[6]};
        frame.insert(frame.end(), pdu.begin(), pdu.end());
        return frame;
    }
    frame.push_back(request[0]);
    frame.insert(frame.end(), pdu.begin(), pdu.end());
    const std::uint16_t crc = crc16(frame.data(), frame.size());
    frame.push_back(static_cast<std::uint8_t>(crc & 0xFF));
    frame.push_back(static_cast<std::uint8_t>(crc >> 8));
    return frame;
}

} // namespace karvel::sim
