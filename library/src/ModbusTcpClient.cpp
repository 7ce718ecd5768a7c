#include "ModbusTcpClient.h"

#include "LogSink.h"

namespace karvel {

using modbus::Bytes;

ModbusTcpClient::ModbusTcpClient(bool rtu) : rtuOverTcp(rtu) {}

ModbusTcpClient::~ModbusTcpClient() { disconnect(); }

bool ModbusTcpClient::connect(const std::string& newHost, int newPort) {
    std::lock_guard<std::mutex> lock(mutex);
    return connectLocked(newHost, newPort);
}

void ModbusTcpClient::disconnect() {
    std::lock_guard<std::mutex> lock(mutex);
    disconnectLocked();
}

bool ModbusTcpClient::connected() {
    std::lock_guard<std::mutex> lock(mutex);
    return socket != net::kInvalidSocket;
}

void ModbusTcpClient::disconnectLocked() {
    if (socket == net::kInvalidSocket) return;
    logLine(kLogDebug, "[Ridova][DEBUG] ModbusTcpClient disconnecting from %s:%d", host.c_str(), port);
    net::closeSocket(socket);
    socket = net::kInvalidSocket;
}

bool ModbusTcpClient::connectLocked(const std::string& newHost, int newPort) {
    logLine(kLogDebug, "[Ridova][DEBUG] ModbusTcpClient connecting to %s:%d (%s)", newHost.c_str(), newPort,
            framingName());
    host = newHost;
    port = newPort;
    disconnectLocked();
    const net::SocketHandle candidate = net::openTcpSocket();
    if (candidate == net::kInvalidSocket) {
        logLine(kLogError, "[Ridova][ERROR] ModbusTcpClient socket creation failed");
        return false;
    }
    net::setReceiveTimeout(candidate, kReceiveTimeoutBeforeConnectMs);
    net::Ipv4Endpoint endpoint;
    endpoint.port = static_cast<std::uint16_t>(port & 0xFFFF);
    if (!net::parseIpv4(host.c_str(), endpoint.octets)) {
        logLine(kLogError, "[Ridova][ERROR] ModbusTcpClient invalid IP: %s", host.c_str());
        net::closeSocket(candidate);
        return false;
    }
    if (!net::connectTo(candidate, endpoint, kConnectTimeoutMs)) {
        const int error = net::lastSocketError();
        logLine(kLogError, "[Ridova][ERROR] ModbusTcpClient connect failed to %s:%d (error: %d)", host.c_str(), port,
                error);
        net::closeSocket(candidate);
        return false;
    }
    net::setReceiveTimeout(candidate, kExchangeTimeoutMs);
    net::setSendTimeout(candidate, kExchangeTimeoutMs);
    socket = candidate;
    logLine(kLogInfo, "[Ridova][INFO] ModbusTcpClient connected to %s:%d (%s)", host.c_str(), port, framingName());
    return true;
}

bool ModbusTcpClient::writeSingleCoil(std::uint16_t address, bool on) {
    return modbus::writeAccepted(sendRequest(modbus::writeSingleCoilPdu(address, on)), modbus::kWriteSingleCoil);
}

bool ModbusTcpClient::writeSingleRegister(std::uint16_t address, std::uint16_t value) {
    return modbus::writeAccepted(sendRequest(modbus::writeSingleRegisterPdu(address, value)),
                                 modbus::kWriteSingleRegister);
}

bool ModbusTcpClient::writeMultipleCoils(std::uint16_t start, const bool* values, int count) {
    const Bytes pdu = modbus::writeMultipleCoilsPdu(start, values, count);
    if (pdu.empty()) return false; // nothing to send: no values, or a count the byte count cannot carry
    return modbus::writeAccepted(sendRequest(pdu), modbus::kWriteMultipleCoils);
}

Bytes ModbusTcpClient::sendRequest(const Bytes& pdu) {
    std::lock_guard<std::mutex> lock(mutex);
    logLine(kLogDebug, "[Ridova][DEBUG] ModbusTcpClient sendRequest slave=%d pduLen=%d (%s)", int{modbus::kSlaveAddress},
            static_cast<int>(pdu.size()), framingName());
    for (int retry = 0; retry < 2; ++retry) {
        if (socket != net::kInvalidSocket && !discardStrayInput()) disconnectLocked();
        if (socket == net::kInvalidSocket && !connectLocked(host, port)) {
            logLine(kLogError, "[Ridova][ERROR] ModbusTcpClient not connected, reconnect failed");
            return {};
        }
        Bytes reply;
        const Attempt attempt = exchange(pdu, retry, reply);
        if (attempt == Attempt::Succeeded) return reply;
        // Whatever is left of a late or partly read reply must never be taken
        // for the next request's reply: a failed attempt always drops the connection.
        disconnectLocked();
        if (attempt == Attempt::Abandoned) return {};
        if (retry == 0) connectLocked(host, port); // the next attempt sees whether it worked
    }
    return {};
}

bool ModbusTcpClient::discardStrayInput() {
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

ModbusTcpClient::Attempt ModbusTcpClient::exchange(const Bytes& pdu, int retry, Bytes& reply) {
    const auto transactionId = static_cast<std::uint16_t>(transactionCounter.fetch_add(1));
    const Bytes frame = rtuOverTcp ? modbus::rtuRequest(pdu) : modbus::mbapRequest(transactionId, pdu);
    if (!net::sendAll(socket, frame.data(), frame.size())) {
        logLine(kLogError, "[Ridova][ERROR] ModbusTcpClient send error (WSAGetLastError: %d). Retry=%d",
                net::lastSocketError(), retry);
        return Attempt::Failed;
    }
    if (!rtuOverTcp) return readMbapReply(transactionId, retry, reply);
    reply = readRtuResponse();
    // A well-formed reply to an earlier write (one the device sent again) is no answer to this one.
    if (!reply.empty() && !modbus::rtuReplyAnswers(pdu, reply)) reply.clear();
    if (reply.empty()) {
        logLine(kLogError, "[Ridova][ERROR] ModbusTcpClient invalid RTU response. Retry=%d", retry);
        return Attempt::Failed;
    }
    return Attempt::Succeeded;
}

ModbusTcpClient::Attempt ModbusTcpClient::readMbapReply(std::uint16_t transactionId, int retry, Bytes& reply) {
    std::uint8_t header[modbus::kMbapHeaderSize];
    if (!readBytes(header, sizeof header)) {
        logLine(kLogError, "[Ridova][ERROR] ModbusTcpClient readBytes header error. Retry=%d", retry);
        return Attempt::Failed;
    }
    const int dataLen = modbus::mbapDataLength(header);
    if (dataLen < 0 || dataLen > modbus::kMaxMbapDataLength) {
        logLine(kLogError, "[Ridova][ERROR] ModbusTcpClient invalid dataLen: %d", dataLen);
        return Attempt::Abandoned;
    }
    reply.assign(1 + static_cast<std::size_t>(dataLen), 0);
    reply[0] = header[6];
    if (!readBytes(reply.data() + 1, dataLen)) {
        logLine(kLogError, "[Ridova][ERROR] ModbusTcpClient readBytes data error. Expected length=%d", dataLen);
        reply.clear();
        return Attempt::Failed;
    }
    // A reply to an earlier request (a device that answered it twice, or late) is no answer to this one.
    const std::uint16_t answered = modbus::mbapTransactionId(header);
    if (answered != transactionId) {
        logLine(kLogError, "[Ridova][ERROR] ModbusTcpClient reply for another transaction: got=%u expected=%u. Retry=%d",
                unsigned{answered}, unsigned{transactionId}, retry);
        reply.clear();
        return Attempt::Failed;
    }
    logLine(kLogDebug, "[Ridova][DEBUG] ModbusTcpClient reply received dataLen=%d", dataLen);
    return Attempt::Succeeded;
}

bool ModbusTcpClient::readBytes(std::uint8_t* buffer, int length) {
    int done = 0;
    while (done < length) {
        const long received = net::receiveSome(socket, buffer + done, static_cast<std::size_t>(length - done));
        if (received <= 0) return false;
        done += static_cast<int>(received);
    }
    return true;
}

Bytes ModbusTcpClient::readRtuResponse() {
    Bytes frame(2, 0);
    if (!readBytes(frame.data(), 2)) return {};
    const auto readMore = [this, &frame](std::size_t count) {
        const std::size_t at = frame.size();
        frame.resize(at + count);
        return readBytes(frame.data() + at, static_cast<int>(count));
    };
    switch (modbus::rtuReplyShape(frame[1])) {
    case modbus::RtuReplyShape::Exception:
        if (!readMore(modbus::kRtuExceptionTail)) return {};
        break;
    case modbus::RtuReplyShape::ByteCount: {
        if (!readMore(1) || frame[2] > modbus::kMaxRtuByteCount) return {};
        if (!readMore(std::size_t{frame[2]} + 2)) return {};
        break;
    }
    case modbus::RtuReplyShape::Fixed:
        if (!readMore(modbus::kRtuFixedTail)) return {};
        break;
    case modbus::RtuReplyShape::Unsupported:
        logLine(kLogError, "[Ridova][ERROR] ModbusTcpClient unsupported RTU function: 0x%02X", unsigned{frame[1]});
        return {};
    }
    const modbus::RtuCrcCheck crc = modbus::checkRtuCrc(frame);
    if (!crc.ok) {
        logLine(kLogError, "[Ridova][ERROR] ModbusTcpClient RTU CRC mismatch: got=0x%04X expected=0x%04X",
                unsigned{crc.received}, unsigned{crc.computed});
        return {};
    }
    frame.resize(frame.size() - 2);
    return frame;
}

} // namespace karvel
