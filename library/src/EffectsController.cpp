#include "EffectsController.h"

#include <chrono>
#include <optional>

#include "LogSink.h"

namespace karvel {
namespace {

using Kind = EffectCommand::Kind;

DeviceEndpoint relayEndpoint(const EffectsEndpoints& endpoints) { return {endpoints.relayIp, endpoints.relayPort}; }
DeviceEndpoint speedEndpoint(const EffectsEndpoints& endpoints) { return {endpoints.speedIp, endpoints.speedPort}; }

} // namespace

EffectsController::~EffectsController() { shutdown(); }

std::uint16_t EffectsController::fanSpeedForLevel(int level) {
    switch (level) {
    case 1:
        return 50;
    case 2:
        return 70;
    case 3:
        return 100;
    default:
        return 0;
    }
}

bool EffectsController::initialize(const EffectsEndpoints& wanted) {
    std::lock_guard<std::mutex> lifecycle(lifecycleMutex);
    if (running) {
        logLine(kLogDebug, "[Ridova][DEBUG] EffectsController::initialize ignored: already running");
        return true;
    }
    stopCutoff.clear();
    logLine(kLogInfo, "[Ridova][INFO] EffectsController::initialize relay=%s:%d speed=%s:%d", wanted.relayIp.c_str(),
            wanted.relayPort, wanted.speedIp.c_str(), wanted.speedPort);
    const bool accepted = effectsEndpointsAccepted("EffectsController", wanted);
    const auto endpointIf = [accepted](DeviceEndpoint endpoint) {
        return accepted ? std::optional<DeviceEndpoint>(std::move(endpoint)) : std::nullopt;
    };
    // Both connect at once, each on its own worker: neither waits for the other.
    if (!relay.start(endpointIf(relayEndpoint(wanted)))) return false;
    if (!fan.start(endpointIf(speedEndpoint(wanted)))) {
        relay.requestStop(false);
        relay.join();
        return false;
    }
    const bool relayTaken = relay.awaitConnect();
    const bool speedTaken = fan.awaitConnect();
    running = true;
    endpointsInForce = accepted;
    if (accepted) endpoints = wanted;
    if (relayTaken && speedTaken) return true;
    logLine(kLogError, "[Ridova][ERROR] EffectsController connection failed: relay=%d speed=%d", relayTaken ? 1 : 0,
            speedTaken ? 1 : 0);
    return false;
}

bool EffectsController::reconfigure(const EffectsEndpoints& wanted, std::string& error) {
    std::lock_guard<std::mutex> lifecycle(lifecycleMutex);
    if (!running) {
        error = "effects are not enabled";
        return false;
    }
    // A device whose endpoint stays keeps its link and what it was asked
    // (one that does not answer is tried again on its own).
    const bool relayMoves = !endpointsInForce || !(relayEndpoint(wanted) == relayEndpoint(endpoints));
    const bool speedMoves = !endpointsInForce || !(speedEndpoint(wanted) == speedEndpoint(endpoints));
    if (!relayMoves && !speedMoves) return true;
    if (relayMoves) relay.holdCalls();
    if (speedMoves) fan.holdCalls();
    std::unique_ptr<ModbusTcpClient> relayLink = relayMoves ? relay.connect(relayEndpoint(wanted)) : nullptr;
    const bool relayTaken = !relayMoves || relayLink != nullptr;
    std::unique_ptr<ModbusTcpClient> speedLink = relayTaken && speedMoves ? fan.connect(speedEndpoint(wanted)) : nullptr;
    if (!relayTaken || (speedMoves && !speedLink)) {
        if (relayMoves) relay.resumeCalls();
        if (speedMoves) fan.resumeCalls();
        error = !relayTaken ? "relay controller connection failed" : "speed controller connection failed";
        logLine(kLogError, "[Ridova][ERROR] EffectsController reconfigure failed: %s", error.c_str());
        return false;
    }
    if (relayMoves) relay.switchTo(std::move(relayLink), relayEndpoint(wanted));
    if (speedMoves) fan.switchTo(std::move(speedLink), speedEndpoint(wanted));
    endpoints = wanted;
    endpointsInForce = true;
    logLine(kLogInfo, "[Ridova][INFO] EffectsController endpoints switched: relay=%s:%d speed=%s:%d",
            wanted.relayIp.c_str(), wanted.relayPort, wanted.speedIp.c_str(), wanted.speedPort);
    return true;
}

void EffectsController::shutdown() { stop(false); }

void EffectsController::shutdownTurningOff() { stop(true); }

void EffectsController::stop(bool turnOff) {
    // First, so that a switch connecting right now gives up in time too.
    const Deadline stopBy = Deadline::after(std::chrono::milliseconds(kStopTimeoutMs));
    stopCutoff.bringForward(stopBy);
    std::lock_guard<std::mutex> lifecycle(lifecycleMutex);
    if (!running) return;
    stopCutoff.bringForward(stopBy); // again: an initialize may have cleared it meanwhile
    // Both at once, each with the whole stop time; the relay board (heater, water) first.
    relay.requestStop(turnOff);
    fan.requestStop(turnOff);
    relay.join();
    fan.join();
    running = false;
    endpointsInForce = false;
}

void EffectsController::submit(const EffectCommand& command) {
    (EffectsDevice::deviceFor(command.kind) == EffectsDevice::Kind::RelayBoard ? relay : fan).submit(command);
}

void EffectsController::setWindSpeed(int level) { submit({Kind::Wind, fanSpeedForLevel(level)}); }
void EffectsController::setWaterMist(int level) { submit({Kind::WaterMist, level}); }
void EffectsController::setScent(int level) { submit({Kind::Scent, level}); }
void EffectsController::setHeater(bool on) { submit({Kind::Heater, on ? 1 : 0}); }

void EffectsController::turnOffAll() {
    relay.submit({Kind::AllOff, 0});
    fan.submit({Kind::AllOff, 0});
}

} // namespace karvel
