// One of the seat's two effects devices, the relay board or the fan speed
// controller, with a worker of its own: its link, the queue of what it still
// has to be told (EffectsQueue) and the thread that tells it. A device that
// hangs or is gone holds up only its own worker: the other device never
// waits for it, and each gets the whole of every deadline.
//
// A device that does not answer is not forgotten: its queue keeps the latest
// level of each of its effects, and the worker tries again every
// kRetryIntervalMs, sending what it kept once the device answers. A device
// that refuses a request (an exception reply) has answered: that request is
// dropped, with the client's ERROR line.
#pragma once

#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "Deadline.h"
#include "EffectsQueue.h"
#include "LibraryThread.h"
#include "ModbusTcpClient.h"

namespace karvel {

struct DeviceEndpoint {
    std::string ip;
    int port = 0;

    bool operator==(const DeviceEndpoint& other) const { return ip == other.ip && port == other.port; }
};

class EffectsDevice {
public:
    enum class Kind { RelayBoard, FanSpeedController };

    // The device map: fan speed controller, holding register 3; relay board,
    // water mist coils 4..7, scent coils 8..10, heater coil 15.
    static constexpr std::uint16_t kFanSpeedRegister = 3;
    static constexpr std::uint16_t kWaterMistFirstCoil = 4;
    static constexpr std::uint16_t kScentFirstCoil = 8;
    static constexpr std::uint16_t kHeaterCoil = 15;
    // A device that did not answer is tried again this long after, on the worker's own timer.
    static constexpr int kRetryIntervalMs = 1000;
    // Turning a device off when it is handed over gets this long (and no more than the stop leaves).
    static constexpr int kTurnOffTimeoutMs = 2000;

    // `stop` may be brought forward by the owner to end the device work in
    // progress; it must outlive the device.
    EffectsDevice(Kind kind, const SharedCutoff& stop);
    ~EffectsDevice();
    EffectsDevice(const EffectsDevice&) = delete;
    EffectsDevice& operator=(const EffectsDevice&) = delete;

    // "relay board" or "fan speed controller".
    const char* name() const;
    // Which device a change of one effect goes to (an all-off goes to both).
    static Kind deviceFor(EffectCommand::Kind effect);

    // Starts the worker, which first connects to `endpoint`. Without one the
    // device has no link, and its effect calls are dropped with an ERROR line
    // until a switch gives it one. False (logged) when no thread could be started.
    bool start(const std::optional<DeviceEndpoint>& endpoint);
    // Waits for the worker's first connect; true when the device took it.
    bool awaitConnect();
    // Queues a command; dropped while stopped.
    void submit(const EffectCommand& command);

    // An endpoint switch, in steps the owner takes for both devices: hold the
    // calls, connect a new link on the caller's thread, then switch to it or resume.
    void holdCalls();
    // A link connected to `endpoint`, or none when the device did not take the connection.
    std::unique_ptr<ModbusTcpClient> connect(const DeviceEndpoint& endpoint) const;
    // The worker turns every output on the old link off (within kTurnOffTimeoutMs),
    // then serves the new one with the calls held; what was queued for the old link is not sent.
    void switchTo(std::unique_ptr<ModbusTcpClient> link, const DeviceEndpoint& endpoint);
    // The switch failed: the calls held follow those queued, on the link in force.
    void resumeCalls();

    // Ends the worker: it sends what is queued until the stop cutoff or, with
    // `turnOff`, turns every output of the device off instead. join() waits for it.
    void requestStop(bool turnOff);
    void join();

private:
    struct Link {
        std::unique_ptr<ModbusTcpClient> client;
        DeviceEndpoint endpoint;
    };

    std::unique_ptr<ModbusTcpClient> newClient() const;
    void workerLoop();
    // With the mutex held: whether the worker has something to do now.
    bool workReady() const;
    // Sends one command (an all-off as its parts, in order) on the link in
    // force; returns the parts the device did not answer.
    std::vector<EffectCommand> send(const EffectCommand& command);
    modbus::Result write(ModbusTcpClient& client, const EffectCommand& command, Deadline limit) const;
    // Every output of the device off on `old`, logged as turned off or not.
    void turnOff(const Link& old, Deadline limit) const;
    // What a turn-off stood in for.
    void logTurnedOffInstead(std::size_t notSent) const;
    // With the mutex held, around a log line.
    void noteUnanswered(std::unique_lock<std::mutex>& lock);
    void noteAnswered(std::unique_lock<std::mutex>& lock);
    void dropAtStop(std::unique_lock<std::mutex>& lock);

    const Kind kind;
    const SharedCutoff& stop;
    // The link the worker serves; only the worker touches it while it runs.
    Link link;
    LibraryThread worker;
    std::mutex mutex;
    std::condition_variable changed;
    // Guarded by mutex:
    EffectsQueue jobs;              // for the link in force
    EffectsQueue held;              // calls made while a switch connects
    std::optional<Link> incoming;   // a switched-to link the worker has yet to install
    std::uint64_t linkGeneration = 0; // counts switches: a job's outcome on an old link is not kept
    bool running = false;
    bool holding = false;
    bool turnOffAtStop = false;
    bool hasEndpoint = false;
    bool connectEnded = false;
    bool connectTaken = false;
    bool unanswered = false; // the last request met no answer: the worker waits for retryAt
    bool triedSinceStop = false;
    Deadline retryAt = Deadline::never();
};

} // namespace karvel
