// Drives the seat's 4D effects on two devices that are independent of each
// other (EffectsDevice, each with its own link, queue and worker): the relay
// board (water mist, scent, heater; "Modbus-TCP") and the fan speed
// controller (wind; "RTU-over-TCP"). A device that hangs, refuses or is gone
// never delays or silences the other.
#pragma once

#include <cstdint>
#include <mutex>
#include <string>

#include "Deadline.h"
#include "EffectsDevice.h"
#include "EffectsEndpoints.h"

namespace karvel {

class EffectsController {
public:
    // From the start of a stop, each device gets this long for what it still
    // has to be told (a final "all off", or turning it off), both at once;
    // then its worker stops regardless.
    static constexpr int kStopTimeoutMs = 2000;

    EffectsController() = default;
    ~EffectsController();
    EffectsController(const EffectsController&) = delete;
    EffectsController& operator=(const EffectsController&) = delete;

    // Starts both devices, each connecting on its own worker at once; true
    // when both took the connection. A device that did not keeps its endpoint
    // and is tried again with its effect calls (see EffectsDevice). Endpoints
    // that fail the check of EffectsEndpoints leave both devices without a link.
    bool initialize(const EffectsEndpoints& endpoints);
    // Moves the devices whose endpoint changes, as one step: connects their new
    // links on the caller's thread (the relay board first, the fan speed
    // controller only once the relay board took the connection) and hands each
    // its new link; its worker turns the old device off and then serves the new
    // one. A device whose endpoint stays is left as it is. Effect calls made
    // meanwhile wait for the outcome and go to whichever device is in force.
    // False leaves the old devices and their queues in force.
    bool reconfigure(const EffectsEndpoints& endpoints, std::string& error);
    // Stops both devices: each sends what is still queued, within kStopTimeoutMs.
    void shutdown();
    // Stops both devices, turning every output of each off instead (within
    // kStopTimeoutMs): for devices this controller hands over or drops.
    void shutdownTurningOff();

    void setWindSpeed(int level);
    void setWaterMist(int level);
    void setScent(int level);
    void setHeater(bool on);
    // An all-off on each device: the relay board (water mist, scent, heater) first, then fan speed 0.
    void turnOffAll();

    // Wind level to the fan speed value: 1 -> 50, 2 -> 70, 3 -> 100, anything else -> 0.
    static std::uint16_t fanSpeedForLevel(int level);

private:
    void stop(bool turnOff);
    void submit(const EffectCommand& command);

    // Brought forward by a stop: ends device work in progress in time. Before the devices, which use it.
    SharedCutoff stopCutoff;
    EffectsDevice relay{EffectsDevice::Kind::RelayBoard, stopCutoff};
    EffectsDevice fan{EffectsDevice::Kind::FanSpeedController, stopCutoff};
    // Guarded by lifecycleMutex:
    bool running = false;
    bool endpointsInForce = false; // `endpoints` name the devices' links
    EffectsEndpoints endpoints;
    std::mutex lifecycleMutex;
};

} // namespace karvel
