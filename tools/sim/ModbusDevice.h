// One Modbus slave on a TCP port of 127.0.0.1: the relay board ("Modbus-TCP")
// or the fan speed controller ("RTU-over-TCP"). Its thread accepts clients,
// cuts their streams into frames and lets libmodbus answer each request from
// the device's coils and holding registers, with exceptions for functions and
// addresses outside the map, as the real device does.
#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#include "ModbusFraming.h"
#include "SimState.h"

struct _modbus;
struct _modbus_mapping_t;

namespace karvel::sim {

struct DeviceMap {
    int coils = 0;
    int holdingRegisters = 0;
};

class ModbusDevice {
public:
    static constexpr std::uint8_t kSlave = 1;

    // Port 0 lets the system choose. Throws std::runtime_error when it cannot listen.
    ModbusDevice(Framing framing, DeviceMap map, std::uint16_t port, std::function<void()> onChange);
    ~ModbusDevice();
    ModbusDevice(const ModbusDevice&) = delete;
    ModbusDevice& operator=(const ModbusDevice&) = delete;

    int port() const { return port_; }
    DeviceState state() const;

private:
    struct Client {
        int fd;
        std::vector<std::uint8_t> stream;
        std::chrono::steady_clock::time_point lastByte;
    };
    struct ContextFree { void operator()(_modbus* context) const; };
    struct MappingFree { void operator()(_modbus_mapping_t* mapping) const; };

    void serve();
    void acceptClient();
    bool readFrom(Client& client); // false when the client is gone
    void answer(Client& client);
    void dropStalePartials();

    const Framing framing_;
    std::function<void()> onChange_;
    std::unique_ptr<_modbus, ContextFree> context_;
    std::unique_ptr<_modbus_mapping_t, MappingFree> mapping_;
    int listener_ = -1;
    int port_ = 0;
    std::vector<Client> clients_; // serving thread only

    mutable std::mutex mutex_; // guards mapping_ contents and counters_
    DeviceState counters_;

    std::atomic<bool> running_{true};
    std::thread thread_;
};

} // namespace karvel::sim
