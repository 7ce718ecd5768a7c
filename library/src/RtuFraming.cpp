// "RTU-over-TCP": an RTU frame (slave address, PDU, CRC-16 low byte first)
// carried as is in the TCP stream. The frame's length follows from its
// function code; a reply answers a request when its CRC is right, it comes
// from the request's slave and its PDU answers the request's PDU.
#include "ModbusFraming.h"
#include "ModbusStream.h"

namespace karvel::modbus {
namespace {

constexpr std::size_t kCrcSize = 2;
// How a reply continues after its address and function code: an exception
// code, or a write's echoed address and value (or quantity), then the CRC.
constexpr std::size_t kExceptionTail = 1 + kCrcSize;
constexpr std::size_t kWriteTail = 4 + kCrcSize;

Result readReply(net::SocketHandle socket, Deadline deadline, Bytes& frame) {
    frame.assign(2, 0);
    if (!readBytes(socket, frame.data(), 2, deadline)) return failedWith(Failure::FrameIncomplete);
    const auto readMore = [&](std::size_t count) {
        const std::size_t at = frame.size();
        frame.resize(at + count);
        return readBytes(socket, frame.data() + at, static_cast<int>(count), deadline);
    };
    const std::uint8_t function = frame[1];
    bool complete;
    if ((function & kExceptionBit) != 0) {
        complete = readMore(kExceptionTail);
    } else if (function == 3 || function == 4) {
        // Reads answer with a byte count: a reply the client never asks for, read whole to stay in step.
        if (!readMore(1)) return failedWith(Failure::FrameIncomplete);
        if (frame[2] > kMaxRtuByteCount) return failedWith(Failure::ByteCountInvalid, frame[2], kMaxRtuByteCount);
        complete = readMore(std::size_t{frame[2]} + kCrcSize);
    } else if (function == 5 || function == 6 || function == 15 || function == 16) {
        complete = readMore(kWriteTail);
    } else {
        // Its length is unknown: the stream cannot be followed past it.
        return failedWith(Failure::FunctionUnsupported, function);
    }
    return complete ? Result{} : failedWith(Failure::FrameIncomplete);
}

Result checkReply(const Bytes& request, const Bytes& frame, Bytes& reply) {
    reply.clear();
    if (request.size() < 1 + kCrcSize || frame.size() < 2 + kCrcSize) return failedWith(Failure::FrameIncomplete);
    const std::size_t body = frame.size() - kCrcSize;
    const long long received = frame[body] | frame[body + 1] << 8;
    const long long computed = crc16(frame.data(), body);
    if (received != computed) return failedWith(Failure::CrcMismatch, received, computed);
    if (frame[0] != request[0]) return failedWith(Failure::OtherUnit, frame[0], request[0]);
    const Bytes requestPdu(request.begin() + 1, request.end() - kCrcSize);
    const Result answer = checkWriteReply(requestPdu, frame.data() + 1, body - 1);
    if (answer.answered()) reply.assign(frame.begin(), frame.begin() + static_cast<std::ptrdiff_t>(body));
    return answer;
}

Bytes buildRequest(std::uint16_t, const Bytes& pdu) { return rtuRequest(pdu); }

} // namespace

Bytes rtuRequest(const Bytes& pdu) {
    Bytes frame;
    frame.reserve(1 + pdu.size() + kCrcSize);
    frame.push_back(kSlaveAddress);
    frame.insert(frame.end(), pdu.begin(), pdu.end());
    const std::uint16_t crc = crc16(frame.data(), frame.size());
    frame.push_back(static_cast<std::uint8_t>(crc & 0xFF));
    frame.push_back(static_cast<std::uint8_t>(crc >> 8));
    return frame;
}

const Framing kRtuOverTcp{"RTU-over-TCP", 1 + kCrcSize, &buildRequest, &readReply, &checkReply};

} // namespace karvel::modbus
