// One Modbus slave on a TCP port: the relay board ("Modbus-TCP") or the fan
// speed controller ("RTU-over-TCP"). Its thread accepts clients, cuts their
// streams into frames and answers each request from the device's coils and
// holding registers, with exceptions for functions and addresses outside the
// map, as the real device does.
#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

#include "ModbusFraming.h"
#include "ModbusSlave.h"
#include "SessionClock.h"
#include "SimState.h"
#include "platform/SocketServices.h"

namespace karvel::sim {

struct DeviceMap {
    int coils = 0;
    int holdingRegisters = 0;
};

class ModbusDevice {
public:
    static constexpr std::uint8_t kSlave = 1;

    // Port 0 in `local` lets the system choose. Throws std::runtime_error when it cannot listen.
    ModbusDevice(Framing framing, DeviceMap map, const net::Ipv4Endpoint& local, SessionClock& sessions,
                 std::function<void()> onChange);
    ~ModbusDevice();
    ModbusDevice(const ModbusDevice&) = delete;
    ModbusDevice& operator=(const ModbusDevice&) = delete;

    int port() const { return port_; }
    DeviceState state() const;

private:
    struct Client {
        net::SocketHandle socket;
        std::vector<std::uint8_t> stream;
        std::chrono::steady_clock::time_point lastByte;
    };

    void serve();
    void acceptClient();
    bool readFrom(Client& client); // false when the client is gone
    void answer(Client& client);
    void dropClient(std::size_t index);
    void dropStalePartials();
    void countFor(std::uint64_t session) const; // with mutex_ held: a new session's counters start at zero

    const Framing framing_;
    SessionClock& sessions_;
    std::function<void()> onChange_;
    net::SocketHandle listener_ = net::kInvalidSocket;
    int port_ = 0;
    std::vector<Client> clients_; // serving thread only

    mutable std::mutex mutex_; // guards memory_, counters_ and session_
    DeviceMemory memory_;
    mutable DeviceState counters_;
    mutable std::uint64_t session_ = 0;

    std::atomic<bool> running_{true};
    std::thread thread_;
};

} // namespace karvel::sim
