// Drives the seat's 4D effects through two Modbus links: the relay board
// (water mist, scent, heater; "Modbus-TCP") and the fan speed controller
// (wind; "RTU-over-TCP"). Effect calls become jobs on one bounded, coalescing
// queue (EffectsQueue) that a worker thread runs, one device request per job
// (four for "all off").
#pragma once

#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <string>

#include "Deadline.h"
#include "EffectsQueue.h"
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
    // From the start of a shutdown, what is still queued (a final "all off")
    // gets this long to reach the devices; then the worker stops regardless.
    static constexpr int kStopTimeoutMs = 2000;
    // Turning the old pair off after an endpoint switch gets this long.
    static constexpr int kRetireTimeoutMs = 2000;

    EffectsController() = default;
    ~EffectsController();
    EffectsController(const EffectsController&) = delete;
    EffectsController& operator=(const EffectsController&) = delete;

    bool initialize(const EffectsEndpoints& endpoints);
    // Connects the new pair on the caller's thread and hands it to the worker,
    // which turns the old pair off and then serves the new one. Effect calls
    // made meanwhile wait for the outcome and go to whichever pair is in force.
    bool reconfigure(const EffectsEndpoints& endpoints, std::string& error);
    void shutdown();

    void setWindSpeed(int level);
    void setWaterMist(int level);
    void setScent(int level);
    void setHeater(bool on);
    // One job: fan speed 0, water mist off, scent off, heater off, in that order.
    void turnOffAll();

    // Wind level to the fan speed value: 1 -> 50, 2 -> 70, 3 -> 100, anything else -> 0.
    static std::uint16_t fanSpeedForLevel(int level);

private:
    struct Links {
        std::unique_ptr<ModbusTcpClient> relay;
        std::unique_ptr<ModbusTcpClient> speed;
        EffectsEndpoints endpoints;
        bool relayConnected = false;
        bool speedConnected = false;
        bool bothConnected() const { return relayConnected && speedConnected; }
        bool any() const { return relay || speed; }
    };

    void submit(const EffectCommand& command);
    void workerLoop();
    // Runs one command on the installed pair; false when a device did not accept it.
    bool run(const EffectCommand& command);
    // Writes every output of `old` off within the retire time-out, logs the outcome, then installs `next`.
    void retireAndInstall(Links next);
    // A new relay/speed pair; the speed link is tried only once the relay link is up.
    Links connectLinks(const EffectsEndpoints& endpoints);

    // The pair jobs run on. Only the worker touches it while the controller runs.
    Links installed;
    // The endpoints in force (installed or handed to the worker); lifecycleMutex.
    EffectsEndpoints endpointsInForce;
    bool linksInForce = false;
    LibraryThread workerThread;
    std::mutex queueMutex;
    std::condition_variable queueCondition;
    // Guarded by queueMutex:
    EffectsQueue jobs;     // for the pair in force
    EffectsQueue pending;  // effect calls made while a switch connects
    std::optional<Links> incoming; // a switched-to pair the worker has yet to install
    bool running = false;
    bool switching = false;
    // Brought forward by shutdown: ends device work in progress in time.
    SharedCutoff stopCutoff;
    std::mutex lifecycleMutex;
};

} // namespace karvel
