// Drives the seat's 4D effects through two Modbus links: the relay board
// (water mist, scent, heater; "Modbus-TCP") and the fan speed controller
// (wind; "RTU-over-TCP"). Effect calls become jobs on one ordered queue that a
// worker thread runs, one device request per job.
#pragma once

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <string>

#include "LibraryThread.h"
#include "ModbusTcpClient.h"

namespace karvel {

struct EffectsEndpoints {
    std::string relayIp;
    int relayPort = 8234;
    std::string speedIp;
    int speedPort = 8234;

    bool operator==(const EffectsEndpoints& other) const {
        return relayIp == other.relayIp && relayPort == other.relayPort && speedIp == other.speedIp &&
               speedPort == other.speedPort;
    }
};

class EffectsController {
public:
    // The device map.
    static constexpr std::uint16_t kFanSpeedRegister = 3;
    static constexpr std::uint16_t kWaterMistFirstCoil = 4;
    static constexpr std::uint16_t kScentFirstCoil = 8;
    static constexpr std::uint16_t kHeaterCoil = 15;

    EffectsController() = default;
    ~EffectsController();
    EffectsController(const EffectsController&) = delete;
    EffectsController& operator=(const EffectsController&) = delete;

    bool initialize(const EffectsEndpoints& endpoints);
    bool reconfigure(const EffectsEndpoints& endpoints, std::string& error);
    void shutdown();

    void setWindSpeed(int level);
    void setWaterMist(int level);
    void setScent(int level);
    void setHeater(bool on);

    // Wind level to the fan speed value: 1 -> 50, 2 -> 70, 3 -> 100, anything else -> 0.
    static std::uint16_t fanSpeedForLevel(int level);

private:
    // A device request; false when the device did not accept it.
    using Job = std::function<bool()>;
    struct QueuedJob {
        std::uint64_t generation;
        Job work;
    };
    struct Links {
        std::unique_ptr<ModbusTcpClient> relay;
        std::unique_ptr<ModbusTcpClient> speed;
        bool relayConnected = false;
        bool speedConnected = false;
        bool bothConnected() const { return relayConnected && speedConnected; }
    };

    void submit(Job job);
    bool runQueued(const QueuedJob& job);
    void workerLoop();
    // A new relay/speed pair; the speed link is tried only once the relay link is up.
    static Links connectLinks(const EffectsEndpoints& endpoints);
    // Writes every output off on the installed pair; called with clientsMutex held.
    void turnOffInstalledLinks();

    std::unique_ptr<ModbusTcpClient> relayClient;
    std::unique_ptr<ModbusTcpClient> speedClient;
    EffectsEndpoints currentEndpoints;
    LibraryThread workerThread;
    std::mutex queueMutex;
    std::condition_variable queueCondition;
    std::deque<QueuedJob> jobs;
    bool running = false;
    bool switching = false;
    std::atomic<std::uint64_t> generation{0};
    std::mutex clientsMutex;
    std::mutex lifecycleMutex;
};

} // namespace karvel
