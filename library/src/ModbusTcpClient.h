// A Modbus master over one TCP connection, in one of two framings. It only
// writes (functions 0x05, 0x06, 0x0F to slave 1), checks that each reply
// answers its request, and retries a failed exchange once over a fresh
// connection. An exception reply is an answer: the device refused, and the
// request is neither retried nor its connection dropped. Every request ends
// within kRequestTimeoutMs, retry and reconnects included, whatever the
// device does, with a result (never an exception) and, when it failed, an
// ERROR line naming the device and the function.
#pragma once

#include <atomic>
#include <cstdint>
#include <mutex>
#include <string>

#include "Deadline.h"
#include "ModbusFraming.h"
#include "platform/SocketServices.h"

namespace karvel {

class ModbusTcpClient {
public:
    // Connects give up after this long; the system's own limit is minutes.
    static constexpr int kConnectTimeoutMs = 2000;
    static constexpr int kReceiveTimeoutBeforeConnectMs = 3000;
    // One exchange, the request sent and its reply complete, however it trickles in.
    static constexpr int kExchangeTimeoutMs = 1000;
    // One request: two exchanges and the connects between them fit in it.
    static constexpr int kRequestTimeoutMs = 4000;

    // `device` names the device in the client's lines ("relay board"). `stop`,
    // when given, may be brought forward by another thread to end the request
    // in progress early; it must outlive the client.
    ModbusTcpClient(const modbus::Framing& framing, std::string device, const SharedCutoff* stop = nullptr);
    ~ModbusTcpClient();
    ModbusTcpClient(const ModbusTcpClient&) = delete;
    ModbusTcpClient& operator=(const ModbusTcpClient&) = delete;

    bool connect(const std::string& host, int port);
    void disconnect();
    bool connected();

    // `limit` ends the request earlier than kRequestTimeoutMs when it comes first.
    modbus::Result writeSingleCoil(std::uint16_t address, bool on, Deadline limit = Deadline::never());
    modbus::Result writeSingleRegister(std::uint16_t address, std::uint16_t value, Deadline limit = Deadline::never());
    modbus::Result writeMultipleCoils(std::uint16_t start, const bool* values, int count,
                                      Deadline limit = Deadline::never());

    // When the device answered (accepting, or refusing with an exception),
    // `reply` is [address byte, PDU...]; otherwise it is empty.
    modbus::Result sendRequest(const modbus::Bytes& pdu, modbus::Bytes& reply, Deadline limit = Deadline::never());

    const char* framingName() const { return framing.name; }
    const std::string& device() const { return deviceName; }

private:
    bool connectLocked(const std::string& host, int port, int timeoutMs = kConnectTimeoutMs);
    void disconnectLocked();
    modbus::Result exchange(const modbus::Bytes& pdu, Deadline deadline, modbus::Bytes& reply);
    // The lines of one failed attempt, and the line that ends a failed request.
    void logAttempt(const modbus::Result& result, int retry) const;
    void logRequestFailed(std::uint8_t function, const modbus::Result& result) const;

    net::SocketHandle socket = net::kInvalidSocket;
    std::string host;
    int port = 0;
    const modbus::Framing& framing;
    const std::string deviceName;
    const SharedCutoff* const stop;
    std::atomic<std::uint32_t> transactionCounter{0};
    std::mutex mutex;
};

} // namespace karvel
