#include "ModbusReplyReader.h"

#include "LogSink.h"

namespace karvel::modbus {

bool readBytes(net::SocketHandle socket, std::uint8_t* buffer, int length, Deadline deadline) {
    int done = 0;
    while (done < length) {
        // Waiting for readability first bounds the whole read, not each receive.
        const int left = deadline.remainingMs();
        if (left <= 0 || net::waitReadable(socket, left) <= 0) return false;
        const long received = net::receiveSome(socket, buffer + done, static_cast<std::size_t>(length - done));
        if (received <= 0) return false;
        done += static_cast<int>(received);
    }
    return true;
}

Attempt readMbapReply(net::SocketHandle socket, std::uint16_t transactionId, int retry, Deadline deadline,
                      Bytes& reply) {
    std::uint8_t header[kMbapHeaderSize];
    if (!readBytes(socket, header, sizeof header, deadline)) {
        logLine(kLogError, "[Ridova][ERROR] ModbusTcpClient readBytes header error. Retry=%d", retry);
        return Attempt::Failed;
    }
    const int dataLen = mbapDataLength(header);
    if (dataLen < 0 || dataLen > kMaxMbapDataLength) {
        logLine(kLogError, "[Ridova][ERROR] ModbusTcpClient invalid dataLen: %d", dataLen);
        return Attempt::Abandoned;
    }
    reply.assign(1 + static_cast<std::size_t>(dataLen), 0);
    reply[0] = header[6];
    if (!readBytes(socket, reply.data() + 1, dataLen, deadline)) {
        logLine(kLogError, "[Ridova][ERROR] ModbusTcpClient readBytes data error. Expected length=%d", dataLen);
        reply.clear();
        return Attempt::Failed;
    }
    // A reply to an earlier request (a device that answered it twice, or late) is no answer to this one.
    const std::uint16_t answered = mbapTransactionId(header);
    if (answered != transactionId) {
        logLine(kLogError, "[Ridova][ERROR] ModbusTcpClient reply for another transaction: got=%u expected=%u. Retry=%d",
                unsigned{answered}, unsigned{transactionId}, retry);
        reply.clear();
        return Attempt::Failed;
    }
    logLine(kLogDebug, "[Ridova][DEBUG] ModbusTcpClient reply received dataLen=%d", dataLen);
    return Attempt::Succeeded;
}

Bytes readRtuResponse(net::SocketHandle socket, Deadline deadline) {
    Bytes frame(2, 0);
    if (!readBytes(socket, frame.data(), 2, deadline)) return {};
    const auto readMore = [&](std::size_t count) {
        const std::size_t at = frame.size();
        frame.resize(at + count);
        return readBytes(socket, frame.data() + at, static_cast<int>(count), deadline);
    };
    switch (rtuReplyShape(frame[1])) {
    case RtuReplyShape::Exception:
        if (!readMore(kRtuExceptionTail)) return {};
        break;
    case RtuReplyShape::ByteCount:
        if (!readMore(1) || frame[2] > kMaxRtuByteCount) return {};
        if (!readMore(std::size_t{frame[2]} + 2)) return {};
        break;
    case RtuReplyShape::Fixed:
        if (!readMore(kRtuFixedTail)) return {};
        break;
    case RtuReplyShape::Unsupported:
        logLine(kLogError, "[Ridova][ERROR] ModbusTcpClient unsupported RTU function: 0x%02X", unsigned{frame[1]});
        return {};
    }
    const RtuCrcCheck crc = checkRtuCrc(frame);
    if (!crc.ok) {
        logLine(kLogError, "[Ridova][ERROR] ModbusTcpClient RTU CRC mismatch: got=0x%04X expected=0x%04X",
                unsigned{crc.received}, unsigned{crc.computed});
        return {};
    }
    frame.resize(frame.size() - 2);
    return frame;
}

bool discardStrayInput(net::SocketHandle socket) {
    // Bytes that arrived after the last accepted reply (a device that sent more
    // than it should) belong to no request: never read them as the next reply.
    // A device that keeps sending is not drained, which could go on for ever.
    std::uint8_t stray[kMaxStrayBytes];
    std::size_t discarded = 0;
    while (net::waitReadable(socket, 0) > 0) {
        if (discarded >= kMaxStrayBytes) return false;
        const long received = net::receiveSome(socket, stray, sizeof stray);
        if (received <= 0) return true; // a closed or broken connection shows in the exchange
        discarded += static_cast<std::size_t>(received);
    }
    return true;
}

} // namespace karvel::modbus
