#include "ModbusTcpClient.h"

#include <algorithm>
#include <chrono>

#include "LogSink.h"

namespace karvel {

using modbus::Bytes;

ModbusTcpClient::ModbusTcpClient(bool rtu, const SharedCutoff* stopCutoff) : rtuOverTcp(rtu), stop(stopCutoff) {}

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

bool ModbusTcpClient::writeSingleCoil(std::uint16_t address, bool on, Deadline limit) {
    return modbus::writeAccepted(sendRequest(modbus::writeSingleCoilPdu(address, on), limit), modbus::kWriteSingleCoil);
}

bool ModbusTcpClient::writeSingleRegister(std::uint16_t address, std::uint16_t value, Deadline limit) {
    return modbus::writeAccepted(sendRequest(modbus::writeSingleRegisterPdu(address, value), limit),
                                 modbus::kWriteSingleRegister);
}

bool ModbusTcpClient::writeMultipleCoils(std::uint16_t start, const bool* values, int count, Deadline limit) {
    const Bytes pdu = modbus::writeMultipleCoilsPdu(start, values, count);
    if (pdu.empty()) return false; // nothing to send: no values, or a count the byte count cannot carry
    return modbus::writeAccepted(sendRequest(pdu, limit), modbus::kWriteMultipleCoils);
}

Bytes ModbusTcpClient::sendRequest(const Bytes& pdu, Deadline limit) {
    std::lock_guard<std::mutex> lock(mutex);
    logLine(kLogDebug, "[Ridova][DEBUG] ModbusTcpClient sendRequest slave=%d pduLen=%d (%s)", int{modbus::kSlaveAddress},
            static_cast<int>(pdu.size()), framingName());
    const Deadline request = Deadline::after(std::chrono::milliseconds(kRequestTimeoutMs)).earliest(limit);
    // Read afresh before every wait: a stop may bring it forward at any time.
    const auto bound = [&] { return stop != nullptr ? request.earliest(stop->current()) : request; };
    for (int retry = 0; retry < 2; ++retry) {
        if (bound().passed()) {
            logLine(kLogError, "[Ridova][ERROR] ModbusTcpClient request deadline passed. Retry=%d", retry);
            return {};
        }
        if (socket != net::kInvalidSocket && !modbus::discardStrayInput(socket)) disconnectLocked();
        if (socket == net::kInvalidSocket &&
            !connectLocked(host, port, std::min(kConnectTimeoutMs, bound().remainingMs()))) {
            logLine(kLogError, "[Ridova][ERROR] ModbusTcpClient not connected, reconnect failed");
            return {};
        }
        Bytes reply;
        const Deadline exchangeEnd = Deadline::after(std::chrono::milliseconds(kExchangeTimeoutMs)).earliest(bound());
        const modbus::Attempt attempt = exchange(pdu, retry, exchangeEnd, reply);
        if (attempt == modbus::Attempt::Succeeded) return reply;
        // Whatever is left of a late or partly read reply must never be taken
        // for the next request's reply: a failed attempt always drops the connection.
        disconnectLocked();
        if (attempt == modbus::Attempt::Abandoned) return {};
        // The next attempt sees whether this worked.
        if (retry == 0 && !bound().passed()) connectLocked(host, port, std::min(kConnectTimeoutMs, bound().remainingMs()));
    }
    return {};
}

modbus::Attempt ModbusTcpClient::exchange(const Bytes& pdu, int retry, Deadline deadline, Bytes& reply) {
    const auto transactionId = static_cast<std::uint16_t>(transactionCounter.fetch_add(1));
    const Bytes frame = rtuOverTcp ? modbus::rtuRequest(pdu) : modbus::mbapRequest(transactionId, pdu);
    // A send time-out of 0 would mean none at all.
    net::setSendTimeout(socket, std::max(1, deadline.remainingMs()));
    if (!net::sendAll(socket, frame.data(), frame.size())) {
        logLine(kLogError, "[Ridova][ERROR] ModbusTcpClient send error (WSAGetLastError: %d). Retry=%d",
                net::lastSocketError(), retry);
        return modbus::Attempt::Failed;
    }
    if (!rtuOverTcp) return modbus::readMbapReply(socket, transactionId, retry, deadline, reply);
    reply = modbus::readRtuResponse(socket, deadline);
    // A well-formed reply to an earlier write (one the device sent again) is no answer to this one.
    if (!reply.empty() && !modbus::rtuReplyAnswers(pdu, reply)) reply.clear();
    if (reply.empty()) {
        logLine(kLogError, "[Ridova][ERROR] ModbusTcpClient invalid RTU response. Retry=%d", retry);
        return modbus::Attempt::Failed;
    }
    return modbus::Attempt::Succeeded;
}

} // namespace karvel
