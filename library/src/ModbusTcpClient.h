// A Modbus master over one TCP connection, in one of two framings. It only
// writes (functions 0x05, 0x06, 0x0F to slave 1), checks each reply and
// retries a failed exchange once over a fresh connection. Failures are results
// and log lines, never exceptions. Every request ends within
// kRequestTimeoutMs, retry and reconnects included, whatever the device does.
#pragma once

#include <atomic>
#include <cstdint>
#include <mutex>
#include <string>

#include "Deadline.h"
#include "ModbusFraming.h"
#include "ModbusReplyReader.h"
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

    // `stop`, when given, may be brought forward by another thread to end the
    // request in progress early; it must outlive the client.
    explicit ModbusTcpClient(bool rtuOverTcp, const SharedCutoff* stop = nullptr);
    ~ModbusTcpClient();
    ModbusTcpClient(const ModbusTcpClient&) = delete;
    ModbusTcpClient& operator=(const ModbusTcpClient&) = delete;

    bool connect(const std::string& host, int port);
    void disconnect();
    bool connected();

    // `limit` ends the request earlier than kRequestTimeoutMs when it comes first.
    bool writeSingleCoil(std::uint16_t address, bool on, Deadline limit = Deadline::never());
    bool writeSingleRegister(std::uint16_t address, std::uint16_t value, Deadline limit = Deadline::never());
    bool writeMultipleCoils(std::uint16_t start, const bool* values, int count, Deadline limit = Deadline::never());

    // The reply as [address byte, function code, data...]; empty when the exchange failed.
    modbus::Bytes sendRequest(const modbus::Bytes& pdu, Deadline limit = Deadline::never());

    const char* framingName() const { return rtuOverTcp ? "RTU-over-TCP" : "Modbus-TCP"; }

private:
    bool connectLocked(const std::string& host, int port, int timeoutMs = kConnectTimeoutMs);
    void disconnectLocked();
    modbus::Attempt exchange(const modbus::Bytes& pdu, int retry, Deadline deadline, modbus::Bytes& reply);

    net::SocketHandle socket = net::kInvalidSocket;
    std::string host;
    int port = 0;
    const bool rtuOverTcp;
    const SharedCutoff* const stop;
    std::atomic<std::uint32_t> transactionCounter{0};
    std::mutex mutex;
};

} // namespace karvel
