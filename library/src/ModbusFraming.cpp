#include "ModbusFraming.h"

namespace karvel::modbus {
namespace {

void appendWord(Bytes& bytes, std::uint16_t value) {
    bytes.push_back(static_cast<std::uint8_t>(value >> 8));
    bytes.push_back(static_cast<std::uint8_t>(value & 0xFF));
}

} // namespace

std::uint16_t crc16(const std::uint8_t* bytes, std::size_t length) {
    std::uint16_t crc = 0xFFFF;
    for (std::size_t i = 0; i < length; ++i) {
        crc ^= bytes[i];
        for (int bit = 0; bit < 8; ++bit) crc = (crc & 1) != 0 ? static_cast<std::uint16_t>((crc >> 1) ^ 0xA001) : crc >> 1;
    }
    return crc;
}

Bytes writeSingleCoilPdu(std::uint16_t address, bool on) {
    Bytes pdu{kWriteSingleCoil};
    appendWord(pdu, address);
    appendWord(pdu, on ? 0xFF00 : 0x0000);
    return pdu;
}

Bytes writeSingleRegisterPdu(std::uint16_t address, std::uint16_t value) {
    Bytes pdu{kWriteSingleRegister};
    appendWord(pdu, address);
    appendWord(pdu, value);
    return pdu;
}

Bytes writeMultipleCoilsPdu(std::uint16_t start, const bool* values, int count) {
    if (values == nullptr || count < 1 || count > kMaxCoilsPerRequest) return {};
    const int byteCount = (count + 7) / 8;
    Bytes pdu{kWriteMultipleCoils};
    appendWord(pdu, start);
    appendWord(pdu, static_cast<std::uint16_t>(count));
    pdu.push_back(static_cast<std::uint8_t>(byteCount));
    pdu.resize(pdu.size() + static_cast<std::size_t>(byteCount), 0);
    const std::size_t data = pdu.size() - static_cast<std::size_t>(byteCount);
    for (int i = 0; i < count; ++i)
        if (values[i]) pdu[data + static_cast<std::size_t>(i / 8)] |= static_cast<std::uint8_t>(1u << (i % 8));
    return pdu;
}

Bytes mbapRequest(std::uint16_t transactionId, const Bytes& pdu) {
    Bytes frame;
    frame.reserve(kMbapHeaderSize + pdu.size());
    appendWord(frame, transactionId);
    appendWord(frame, 0);
    appendWord(frame, static_cast<std::uint16_t>(pdu.size() + 1));
    frame.push_back(kSlaveAddress);
    frame.insert(frame.end(), pdu.begin(), pdu.end());
    return frame;
}

Bytes rtuRequest(const Bytes& pdu) {
    Bytes frame{kSlaveAddress};
    frame.insert(frame.end(), pdu.begin(), pdu.end());
    const std::uint16_t crc = crc16(frame.data(), frame.size());
    frame.push_back(static_cast<std::uint8_t>(crc & 0xFF));
    frame.push_back(static_cast<std::uint8_t>(crc >> 8));
    return frame;
}

int mbapDataLength(const std::uint8_t (&header)[kMbapHeaderSize]) { return header[4] * 256 + header[5] - 1; }

std::uint16_t mbapTransactionId(const std::uint8_t (&header)[kMbapHeaderSize]) {
    return static_cast<std::uint16_t>(header[0] << 8 | header[1]);
}

RtuReplyShape rtuReplyShape(std::uint8_t functionCode) {
    if ((functionCode & 0x80) != 0) return RtuReplyShape::Exception;
    switch (functionCode) {
    case 3:
    case 4:
        return RtuReplyShape::ByteCount;
    case 5:
    case 6:
    case 15:
    case 16:
        return RtuReplyShape::Fixed;
    default:
        return RtuReplyShape::Unsupported;
    }
}

RtuCrcCheck checkRtuCrc(const Bytes& frame) {
    if (frame.size() < 4) return {false, 0, 0};
    const std::size_t body = frame.size() - 2;
    const auto received = static_cast<std::uint16_t>(frame[body] | (frame[body + 1] << 8));
    const std::uint16_t computed = crc16(frame.data(), body);
    return {received == computed, received, computed};
}

bool rtuReplyAnswers(const Bytes& requestPdu, const Bytes& reply) {
    constexpr std::size_t kEcho = kRtuFixedTail - 2; // the address and value a write reply echoes, not its CRC
    if (requestPdu.size() < 1 + kEcho || reply.size() < 2 + kEcho || reply[1] != requestPdu[0] ||
        rtuReplyShape(reply[1]) != RtuReplyShape::Fixed)
        return true;
    for (std::size_t i = 0; i < kEcho; ++i)
        if (reply[2 + i] != requestPdu[1 + i]) return false;
    return true;
}

bool writeAccepted(const Bytes& reply, std::uint8_t functionCode) {
    return reply.size() >= 6 && reply[1] == functionCode;
}

} // namespace karvel::modbus
