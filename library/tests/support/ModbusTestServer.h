// A Modbus device on 127.0.0.1 (port chosen by the system) in either framing,
// holding coils and registers, that can be told to misbehave for a number of
// requests. One connection is served at a time, as the devices do.
#pragma once

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <map>
#include <mutex>
#include <thread>
#include <vector>

#include "platform/SocketServices.h"

namespace karvel::test {

using Bytes = std::vector<std::uint8_t>;

class ModbusTestServer {
public:
    enum class Framing { Mbap, Rtu };
    enum class Behaviour {
        Normal,
        Silent,         // reads the request, never answers
        LateReply,      // answers only once the client has given up on the reply (closed the connection)
        CloseMidReply,  // sends half the reply and closes
        Truncated,      // sends half the reply and keeps the connection open
        Exception,      // answers with exception code 4 (server device failure)
        IllegalAddress, // answers with exception code 2 (illegal data address)
        WrongFunction,  // echoes another write function code
        WrongUnit,      // answers as unit 7
        WrongEcho,      // echoes the next address
        WrongProtocol,  // MBAP: protocol identifier 1
        ShortReply,     // a reply PDU of 3 bytes, framed as such
        BadCrc,         // RTU: a reply with its CRC bytes swapped
        OverLong,       // the reply followed by stray bytes
        BadLength,      // MBAP: a length field of 300
        ShortLength,    // MBAP: a length field of 1 (unit identifier only)
        UnknownFunction, // RTU: function code 0x2B
        Reset,           // reads the request and resets the connection (RST)
        StaleReply,      // answers with its last real reply again (MBAP: with that transaction id)
        Garbage,         // instead of a reply, garbage bytes for as long as the client reads them
        Flood,           // the reply, then copies of it for as long as the client reads them
        Trickle,         // the correct reply, one byte every 0.9 s, until the client closes
        MaxLengthTrickle // MBAP: a header announcing 256 data bytes (length 257), then a byte every 0.9 s
    };
    static constexpr int kTrickleIntervalMs = 900;
    static constexpr int kCoils = 64;
    static constexpr int kRegisters = 16;

    // Port 0: the system chooses. A given port may be the one of a server that was just stopped.
    explicit ModbusTestServer(Framing framing, int port = 0);
    ~ModbusTestServer();
    ModbusTestServer(const ModbusTestServer&) = delete;
    ModbusTestServer& operator=(const ModbusTestServer&) = delete;

    int port() const { return port_; }
    // The next `count` requests get `behaviour`; later ones are answered normally.
    void misbehave(Behaviour behaviour, int count = 1);
    // Every reply from now on leaves this long after its request (a slow device).
    void answerAfter(int milliseconds) { replyDelayMs_ = milliseconds; }

    // How many requests met each misbehaviour: faults met, not faults armed.
    std::map<Behaviour, int> misbehavioursMet() const;
    std::vector<Bytes> requests() const;
    std::size_t requestCount() const;
    int connectionsAccepted() const;
    // Connections accepted and not yet closed by the client (or by this device).
    int openConnections() const;
    bool coil(int address) const;
    std::vector<bool> coils(int first, int count) const;
    std::uint16_t holdingRegister(int address) const;
    // Waits until `count` requests have arrived.
    bool waitForRequests(std::size_t count, int timeoutMs = 10000) const;
    // Waits until `condition` (which may read this server) holds, re-testing after every request and connection.
    bool waitUntil(const std::function<bool()>& condition, int timeoutMs = 10000) const;

private:
    void serve();
    void serveConnection(net::SocketHandle connection);
    bool readRequest(net::SocketHandle connection, Bytes& frame);
    bool readExactly(net::SocketHandle connection, std::uint8_t* buffer, std::size_t length);
    Bytes handle(const Bytes& pdu, Behaviour behaviour);
    Bytes frame(const Bytes& requestFrame, Bytes replyPdu, Behaviour behaviour) const;
    Behaviour nextBehaviour();
    bool pauseUnlessStopped(int milliseconds);
    // Waits while the client keeps the connection open and quiet; false once it
    // closed it (or sent something) or the server stops.
    bool idleFor(net::SocketHandle connection, int milliseconds);
    void trickle(net::SocketHandle connection, const Bytes& bytes);
    void flood(net::SocketHandle connection, const Bytes& pattern);

    const Framing framing_;
    net::SocketHandle listener_;
    int port_ = 0;
    std::atomic<bool> stop_{false};
    std::atomic<int> replyDelayMs_{0};
    mutable std::mutex mutex_;
    mutable std::condition_variable changed_;
    std::vector<Bytes> requests_;
    bool coils_[kCoils] = {};
    std::uint16_t registers_[kRegisters] = {};
    Behaviour behaviour_ = Behaviour::Normal;
    int misbehaviours_ = 0;
    std::map<Behaviour, int> met_;
    int connections_ = 0;
    int closed_ = 0;
    std::uint64_t changes_ = 0; // requests and connections seen, to wake waiters
    Bytes lastReply_;           // the serving thread's own
    std::thread thread_;
};

// The PDU (function code first) of a request as a device received it.
inline Bytes mbapPdu(const Bytes& request) { return Bytes(request.begin() + 7, request.end()); }
inline Bytes rtuPdu(const Bytes& request) { return Bytes(request.begin() + 1, request.end() - 2); }

// A loopback port that nothing listens on: a connect there is refused.
int unusedTcpPort();

// The two effects devices an Orvida seat drives: a relay board speaking
// Modbus-TCP and a fan speed controller speaking RTU-over-TCP.
struct EffectsDevices {
    ModbusTestServer relay{ModbusTestServer::Framing::Mbap};
    ModbusTestServer speed{ModbusTestServer::Framing::Rtu};
};

} // namespace karvel::test
