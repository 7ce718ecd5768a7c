// A Modbus master over one TCP connection, in one of two framings. It only
// writes (functions 0x05, 0x06, 0x0F to slave 1), checks each reply and
// retries a failed exchange once over a fresh connection. Failures are results
// and log lines, never exceptions.
#pragma once

#include <atomic>
#include <cstdint>
#include <mutex>
#include <string>

#include "ModbusFraming.h"
#include "platform/SocketServices.h"

namespace karvel {

class ModbusTcpClient {
public:
    // Connects give up after this long; the system's own limit is minutes.
    static constexpr int kConnectTimeoutMs = 2000;
    static constexpr int kReceiveTimeoutBeforeConnectMs = 3000;
    static constexpr int kExchangeTimeoutMs = 1000;
    // More unasked bytes than this waiting before a request: the device keeps
    // sending, and its connection is started afresh rather than drained.
    static constexpr std::size_t kMaxStrayBytes = 512;

    explicit ModbusTcpClient(bool rtuOverTcp);
    ~ModbusTcpClient();
    ModbusTcpClient(const ModbusTcpClient&) = delete;
    ModbusTcpClient& operator=(const ModbusTcpClient&) = delete;

    bool connect(const std::string& host, int port);
    void disconnect();
    bool connected();

    bool writeSingleCoil(std::uint16_t address, bool on);
    bool writeSingleRegister(std::uint16_t address, std::uint16_t value);
    bool writeMultipleCoils(std::uint16_t start, const bool* values, int count);

    // The reply as [address byte, function code, data...]; empty when the exchange failed.
    modbus::Bytes sendRequest(const modbus::Bytes& pdu);

    const char* framingName() const { return rtuOverTcp ? "RTU-over-TCP" : "Modbus-TCP"; }

private:
    enum class Attempt { Succeeded, Failed, Abandoned };

    bool connectLocked(const std::string& host, int port);
    void disconnectLocked();
    bool discardStrayInput();
    Attempt exchange(const modbus::Bytes& pdu, int retry, modbus::Bytes& reply);
    Attempt readMbapReply(std::uint16_t transactionId, int retry, modbus::Bytes& reply);
    bool readBytes(std::uint8_t* buffer, int length);
    modbus::Bytes readRtuResponse();

    net::SocketHandle socket = net::kInvalidSocket;
    std::string host;
    int port = 0;
    const bool rtuOverTcp;
    std::atomic<std::uint32_t> transactionCounter{0};
    std::mutex mutex;
};

} // namespace karvel
