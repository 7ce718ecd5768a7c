#include "ModbusFraming.h"

namespace karvel::modbus {
namespace {

void appendWord(Bytes& bytes, std::uint16_t value) {
    bytes.push_back(static_cast<std::uint8_t>(value >> 8));
    bytes.push_back(static_cast<std::uint8_t>(value & 0xFF));
}

long long wordAt(const std::uint8_t* bytes) { return static_cast<long long>(bytes[0]) << 8 | bytes[1]; }

} // namespace

const char* failureReason(Failure failure) {
    switch (failure) {
    case Failure::None: return "accepted";
    case Failure::Exception: return "exception reply";
    case Failure::RequestInvalid: return "request not sent: the framing cannot carry it";
    case Failure::DeadlinePassed: return "request deadline passed";
    case Failure::NotConnected: return "not connected";
    case Failure::SendFailed: return "send error";
    case Failure::HeaderIncomplete: return "no complete reply header";
    case Failure::LengthInvalid: return "invalid length field";
    case Failure::DataIncomplete: return "reply data incomplete";
    case Failure::FrameIncomplete: return "no complete reply";
    case Failure::FunctionUnsupported: return "reply with an unsupported function";
    case Failure::ByteCountInvalid: return "reply with an invalid byte count";
    case Failure::CrcMismatch: return "reply CRC mismatch";
    case Failure::OtherTransaction: return "reply for another transaction";
    case Failure::OtherProtocol: return "reply with another protocol identifier";
    case Failure::OtherUnit: return "reply from another unit";
    case Failure::OtherFunction: return "reply for another function";
    case Failure::OtherEcho: return "reply echoing another address or value";
    case Failure::LengthMismatch: return "reply of the wrong length";
    }
    return "unknown failure";
}

const char* functionName(std::uint8_t functionCode) {
    switch (functionCode) {
    case kWriteSingleCoil: return "write single coil";
    case kWriteSingleRegister: return "write single register";
    case kWriteMultipleCoils: return "write multiple coils";
    default: return "function";
    }
}

const char* exceptionName(long long code) {
    switch (code) {
    case 0x01: return "illegal function";
    case 0x02: return "illegal data address";
    case 0x03: return "illegal data value";
    case 0x04: return "server device failure";
    case 0x05: return "acknowledge";
    case 0x06: return "server device busy";
    case 0x08: return "memory parity error";
    case 0x0A: return "gateway path unavailable";
    case 0x0B: return "gateway target device failed to respond";
    default: return "unknown exception";
    }
}

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

Result checkWriteReply(const Bytes& requestPdu, const std::uint8_t* replyPdu, std::size_t length) {
    if (requestPdu.size() < kWriteReplyPduSize) return failedWith(Failure::RequestInvalid);
    const std::uint8_t function = requestPdu[0];
    const auto wrongLength = [length](std::size_t wanted) {
        return failedWith(Failure::LengthMismatch, static_cast<long long>(length), static_cast<long long>(wanted));
    };
    if (length == 0) return wrongLength(kWriteReplyPduSize);
    if (replyPdu[0] == (function | kExceptionBit)) {
        if (length != kExceptionPduSize) return wrongLength(kExceptionPduSize);
        return failedWith(Failure::Exception, replyPdu[1], function);
    }
    if (replyPdu[0] != function) return failedWith(Failure::OtherFunction, replyPdu[0], function);
    if (length != kWriteReplyPduSize) return wrongLength(kWriteReplyPduSize);
    // A reply to an earlier write of the same function (one the device sent
    // again, or late) echoes that write's address and value, not these.
    const long long echoed = wordAt(replyPdu + 1) * 65536 + wordAt(replyPdu + 3);
    const long long asked = wordAt(requestPdu.data() + 1) * 65536 + wordAt(requestPdu.data() + 3);
    if (echoed != asked) return failedWith(Failure::OtherEcho, echoed, asked);
    return {};
}

} // namespace karvel::modbus
