#include "ModbusTcpClient.h"

#include <algorithm>
#include <chrono>

#include "LogSink.h"
#include "ModbusStream.h"

namespace karvel {

using modbus::Bytes;
using modbus::Failure;
using modbus::Result;

ModbusTcpClient::ModbusTcpClient(const modbus::Framing& wire, std::string device, const SharedCutoff* stopCutoff)
    : framing(wire), deviceName(std::move(device)), stop(stopCutoff) {}

ModbusTcpClient::~ModbusTcpClient() { disconnect(); }

bool ModbusTcpClient::connect(const std::string& newHost, int newPort) {
    std::lock_guard<std::mutex> lock(mutex);
    const int timeoutMs = stop != nullptr ? std::min(kConnectTimeoutMs, stop->current().remainingMs()) : kConnectTimeoutMs;
    return connectLocked(newHost, newPort, timeoutMs);
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

bool ModbusTcpClient::connectLocked(const std::string& newHost, int newPort, int timeoutMs) {
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
    if (!net::connectTo(candidate, endpoint, timeoutMs)) {
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

Result ModbusTcpClient::writeSingleCoil(std::uint16_t address, bool on, Deadline limit) {
    Bytes reply;
    return sendRequest(modbus::writeSingleCoilPdu(address, on), reply, limit);
}

Result ModbusTcpClient::writeSingleRegister(std::uint16_t address, std::uint16_t value, Deadline limit) {
    Bytes reply;
    return sendRequest(modbus::writeSingleRegisterPdu(address, value), reply, limit);
}

Result ModbusTcpClient::writeMultipleCoils(std::uint16_t start, const bool* values, int count, Deadline limit) {
    const Bytes pdu = modbus::writeMultipleCoilsPdu(start, values, count);
    // Nothing to send: no values, or a count the byte count cannot carry.
    if (pdu.empty()) return modbus::failedWith(Failure::RequestInvalid);
    Bytes reply;
    return sendRequest(pdu, reply, limit);
}

Result ModbusTcpClient::sendRequest(const Bytes& pdu, Bytes& reply, Deadline limit) {
    reply.clear();
    // Only writes are sent, and a write's reply is checked against its request.
    if (pdu.size() < modbus::kWriteReplyPduSize) return modbus::failedWith(Failure::RequestInvalid);
    std::lock_guard<std::mutex> lock(mutex);
    logLine(kLogDebug, "[Ridova][DEBUG] ModbusTcpClient sendRequest slave=%d pduLen=%d (%s)", int{modbus::kSlaveAddress},
            static_cast<int>(pdu.size()), framingName());
    const Deadline request = Deadline::after(std::chrono::milliseconds(kRequestTimeoutMs)).earliest(limit);
    // Read afresh before every wait: a stop may bring it forward at any time.
    const auto bound = [&] { return stop != nullptr ? request.earliest(stop->current()) : request; };
    Result result;
    for (int retry = 0; retry < 2; ++retry) {
        if (bound().passed()) {
            logLine(kLogError, "[Ridova][ERROR] ModbusTcpClient request deadline passed. Retry=%d", retry);
            result = modbus::failedWith(Failure::DeadlinePassed);
            break;
        }
        if (socket != net::kInvalidSocket && !modbus::discardStrayInput(socket)) disconnectLocked();
        if (socket == net::kInvalidSocket &&
            !connectLocked(host, port, std::min(kConnectTimeoutMs, bound().remainingMs()))) {
            logLine(kLogError, "[Ridova][ERROR] ModbusTcpClient not connected, reconnect failed");
            result = modbus::failedWith(Failure::NotConnected);
            break;
        }
        const Deadline exchangeEnd = Deadline::after(std::chrono::milliseconds(kExchangeTimeoutMs)).earliest(bound());
        result = exchange(pdu, exchangeEnd, reply);
        // An exception is the device's answer: asking again would get it again.
        if (result.answered()) break;
        logAttempt(result, retry);
        // Whatever is left of a late, partly read or unmatched reply must never
        // be taken for the next request's reply: a failed attempt always drops the connection.
        disconnectLocked();
        // The next attempt sees whether this worked.
        if (retry == 0 && !bound().passed()) connectLocked(host, port, std::min(kConnectTimeoutMs, bound().remainingMs()));
    }
    if (!result.accepted()) logRequestFailed(pdu[0], result);
    return result;
}

Result ModbusTcpClient::exchange(const Bytes& pdu, Deadline deadline, Bytes& reply) {
    const auto transactionId = static_cast<std::uint16_t>(transactionCounter.fetch_add(1));
    const Bytes request = framing.buildRequest(transactionId, pdu);
    // A send time-out of 0 would mean none at all.
    net::setSendTimeout(socket, std::max(1, deadline.remainingMs()));
    if (!net::sendAll(socket, request.data(), request.size()))
        return modbus::failedWith(Failure::SendFailed, net::lastSocketError());
    Bytes frame;
    const Result read = framing.readReply(socket, deadline, frame);
    if (!read.accepted()) return read;
    logLine(kLogDebug, "[Ridova][DEBUG] ModbusTcpClient reply received dataLen=%d",
            static_cast<int>(frame.size() - framing.overhead));
    return framing.checkReply(request, frame, reply);
}

void ModbusTcpClient::logAttempt(const Result& result, int retry) const {
    const auto got = static_cast<unsigned>(result.got);
    const auto expected = static_cast<unsigned>(result.expected);
    switch (result.failure) {
    case Failure::SendFailed:
        logLine(kLogError, "[Ridova][ERROR] ModbusTcpClient send error (WSAGetLastError: %d). Retry=%d",
                static_cast<int>(result.got), retry);
        return;
    case Failure::HeaderIncomplete:
        logLine(kLogError, "[Ridova][ERROR] ModbusTcpClient readBytes header error. Retry=%d", retry);
        return;
    case Failure::LengthInvalid:
        logLine(kLogError, "[Ridova][ERROR] ModbusTcpClient invalid dataLen: %d", static_cast<int>(result.got));
        return;
    case Failure::DataIncomplete:
        logLine(kLogError, "[Ridova][ERROR] ModbusTcpClient readBytes data error. Expected length=%d",
                static_cast<int>(result.expected));
        return;
    case Failure::OtherTransaction:
        logLine(kLogError, "[Ridova][ERROR] ModbusTcpClient reply for another transaction: got=%u expected=%u. Retry=%d",
                got, expected, retry);
        return;
    case Failure::OtherProtocol:
        logLine(kLogError, "[Ridova][ERROR] ModbusTcpClient reply with protocol identifier %u, expected 0. Retry=%d",
                got, retry);
        return;
    case Failure::OtherUnit:
        logLine(kLogError, "[Ridova][ERROR] ModbusTcpClient reply from unit %u, expected %u. Retry=%d", got, expected,
                retry);
        return;
    case Failure::OtherFunction:
        logLine(kLogError, "[Ridova][ERROR] ModbusTcpClient reply for function 0x%02X, expected 0x%02X. Retry=%d", got,
                expected, retry);
        return;
    case Failure::OtherEcho:
        logLine(kLogError,
                "[Ridova][ERROR] ModbusTcpClient reply echoes address %u value %u, expected address %u value %u. "
                "Retry=%d",
                got >> 16, got & 0xFFFF, expected >> 16, expected & 0xFFFF, retry);
        return;
    case Failure::LengthMismatch:
        logLine(kLogError, "[Ridova][ERROR] ModbusTcpClient reply PDU of %u bytes, expected %u. Retry=%d", got,
                expected, retry);
        return;
    case Failure::FunctionUnsupported:
        logLine(kLogError, "[Ridova][ERROR] ModbusTcpClient unsupported RTU function: 0x%02X", got);
        break;
    case Failure::CrcMismatch:
        logLine(kLogError, "[Ridova][ERROR] ModbusTcpClient RTU CRC mismatch: got=0x%04X expected=0x%04X", got,
                expected);
        break;
    case Failure::FrameIncomplete:
    case Failure::ByteCountInvalid:
        break;
    default:
        return;
    }
    // An RTU frame that could not be read or failed its CRC.
    logLine(kLogError, "[Ridova][ERROR] ModbusTcpClient invalid RTU response. Retry=%d", retry);
}

void ModbusTcpClient::logRequestFailed(std::uint8_t function, const Result& result) const {
    if (result.failure == Failure::Exception) {
        logLine(kLogError,
                "[Ridova][ERROR] ModbusTcpClient request failed: %s, %s (0x%02X): exception 0x%02X (%s), not retried",
                deviceName.c_str(), modbus::functionName(function), unsigned{function},
                static_cast<unsigned>(result.got), modbus::exceptionName(result.got));
        return;
    }
    logLine(kLogError, "[Ridova][ERROR] ModbusTcpClient request failed: %s, %s (0x%02X): %s", deviceName.c_str(),
            modbus::functionName(function), unsigned{function}, modbus::failureReason(result.failure));
}

} // namespace karvel
