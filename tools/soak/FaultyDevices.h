// The soak's relay board ("Modbus-TCP") and fan speed controller
// ("RTU-over-TCP") on loopback, each failing at random moments in a random
// way: silent, late, resetting the connection, garbage, a replayed reply, a
// flood, or down for a few seconds and back on the same port.
#pragma once

#include <condition_variable>
#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "support/ModbusTestServer.h"

namespace karvel::soak {

class FaultyDevices {
public:
    explicit FaultyDevices(std::uint32_t seed);
    ~FaultyDevices();
    FaultyDevices(const FaultyDevices&) = delete;
    FaultyDevices& operator=(const FaultyDevices&) = delete;

    int relayPort() const { return relay_.port; }
    int fanPort() const { return fan_.port; }
    void startFaults();
    // Ends the faults: both devices up and behaving from here on.
    void stopFaults();
    // "relay: silent 2, down 1 ...; armed and never met 3" for the report: the
    // faults that requests met (a device down counts from the moment it goes).
    std::string faultSummary() const;
    // What a device holds now; nothing while it is down.
    std::optional<std::uint16_t> fanSpeed() const;
    std::optional<std::vector<bool>> relayCoils(int first, int count) const;
    // Faults met on the relay board or the fan so far, downs included.
    std::uint64_t faultsMet(bool relay) const;

private:
    using Server = test::ModbusTestServer;
    struct Device {
        Device(const char* deviceName, Server::Framing deviceFraming) : name(deviceName), framing(deviceFraming) {}
        const char* name;
        Server::Framing framing;
        std::unique_ptr<Server> server;
        int port = 0;
        std::chrono::steady_clock::time_point backAt{};
        std::map<std::string, int> met;   // of servers already gone
        int armed = 0;
    };

    // Faults met on the device, by name; with mutex_ held.
    std::map<std::string, int> metLocked(const Device& device) const;

    void run();
    void injectFault(Device& device);
    void bringBack(Device& device);

    Device relay_{"relay", Server::Framing::Mbap};
    Device fan_{"fan", Server::Framing::Rtu};
    std::mt19937 random_;
    mutable std::mutex mutex_;
    std::condition_variable wake_;
    bool stopping_ = false;
    std::thread thread_;
};

} // namespace karvel::soak
