#include "EffectsController.h"

#include <system_error>
#include <utility>

#include "LogSink.h"

namespace karvel {
namespace {

bool validPort(int port) { return port >= 1 && port <= 65535; }

using Kind = EffectCommand::Kind;

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

EffectsController::Links EffectsController::connectLinks(const EffectsEndpoints& endpoints) {
    Links links;
    links.endpoints = endpoints;
    links.relay = std::make_unique<ModbusTcpClient>(false, &stopCutoff);
    links.speed = std::make_unique<ModbusTcpClient>(true, &stopCutoff);
    links.relayConnected = links.relay->connect(endpoints.relayIp, endpoints.relayPort);
    if (links.relayConnected) links.speedConnected = links.speed->connect(endpoints.speedIp, endpoints.speedPort);
    return links;
}

bool EffectsController::initialize(const EffectsEndpoints& endpoints) {
    std::lock_guard<std::mutex> lifecycle(lifecycleMutex);
    {
        std::lock_guard<std::mutex> queue(queueMutex);
        if (running) {
            logLine(kLogDebug, "[Ridova][DEBUG] EffectsController::initialize ignored: already running");
            return true;
        }
    }
    stopCutoff.clear();
    logLine(kLogInfo, "[Ridova][INFO] EffectsController::initialize relay=%s:%d speed=%s:%d", endpoints.relayIp.c_str(),
            endpoints.relayPort, endpoints.speedIp.c_str(), endpoints.speedPort);
    Links links;
    if (validPort(endpoints.relayPort) && validPort(endpoints.speedPort)) {
        links = connectLinks(endpoints);
    } else {
        // Only the low 16 bits would reach the socket: never connect to a port nobody asked for.
        logLine(kLogError, "[Ridova][ERROR] EffectsController invalid port: relay=%d speed=%d", endpoints.relayPort,
                endpoints.speedPort);
    }
    const bool connected = links.bothConnected();
    if (connected) {
        installed = std::move(links);
        endpointsInForce = endpoints;
        linksInForce = true;
    } else {
        logLine(kLogError, "[Ridova][ERROR] EffectsController connection failed: relay=%d speed=%d",
                links.relayConnected ? 1 : 0, 0);
        links = Links{};
    }
    {
        std::lock_guard<std::mutex> queue(queueMutex);
        running = true;
        switching = false;
    }
    try {
        workerThread.start([this] { workerLoop(); });
    } catch (const std::system_error& error) {
        logLine(kLogError, "[Ridova][ERROR] EffectsController worker thread could not be started: %s", error.what());
        {
            std::lock_guard<std::mutex> queue(queueMutex);
            running = false;
        }
        installed = Links{};
        linksInForce = false;
        return false;
    }
    return connected;
}

bool EffectsController::reconfigure(const EffectsEndpoints& endpoints, std::string& error) {
    std::lock_guard<std::mutex> lifecycle(lifecycleMutex);
    {
        std::lock_guard<std::mutex> queue(queueMutex);
        if (!running) {
            error = "effects are not enabled";
            return false;
        }
        if (linksInForce && endpoints == endpointsInForce) return true;
        // From here effect calls wait in `pending` for the switch's outcome.
        switching = true;
    }
    Links links = connectLinks(endpoints);
    if (!links.bothConnected()) {
        const bool relayFailed = !links.relayConnected;
        links = Links{};
        {
            // The installed pair stays in force, and so do the jobs queued for it;
            // the calls made meanwhile follow them.
            std::lock_guard<std::mutex> queue(queueMutex);
            jobs.append(std::move(pending));
            switching = false;
        }
        queueCondition.notify_one();
        error = relayFailed ? "relay controller connection failed" : "speed controller connection failed";
        logLine(kLogError, "[Ridova][ERROR] EffectsController reconfigure failed: %s", error.c_str());
        return false;
    }
    std::optional<Links> neverInstalled;
    {
        // Jobs queued before the switch were meant for the old pair, which the
        // worker turns off next; the calls made during the switch are the new pair's.
        std::lock_guard<std::mutex> queue(queueMutex);
        jobs = std::move(pending);
        pending.clear();
        neverInstalled = std::move(incoming); // a pair switched to and away from before the worker got to it
        incoming = std::move(links);
        switching = false;
    }
    queueCondition.notify_one();
    neverInstalled.reset();
    endpointsInForce = endpoints;
    linksInForce = true;
    logLine(kLogInfo, "[Ridova][INFO] EffectsController endpoints switched: relay=%s:%d speed=%s:%d",
            endpoints.relayIp.c_str(), endpoints.relayPort, endpoints.speedIp.c_str(), endpoints.speedPort);
    return true;
}

void EffectsController::retireAndInstall(Links next) {
    Links old = std::exchange(installed, std::move(next));
    if (!old.any()) return; // the first pair: nothing to turn off
    // Every output off, so that nothing is left on on a pair we no longer control.
    const Deadline limit = Deadline::after(std::chrono::milliseconds(kRetireTimeoutMs));
    const bool off[4] = {false, false, false, false};
    bool accepted = old.relay->writeMultipleCoils(kWaterMistFirstCoil, off, 4, limit);
    accepted = old.relay->writeMultipleCoils(kScentFirstCoil, off, 3, limit) && accepted;
    accepted = old.relay->writeSingleCoil(kHeaterCoil, false, limit) && accepted;
    accepted = old.speed->writeSingleRegister(kFanSpeedRegister, 0, limit) && accepted;
    const EffectsEndpoints& was = old.endpoints;
    if (accepted) {
        logLine(kLogInfo, "[Ridova][INFO] EffectsController old endpoints turned off: relay=%s:%d speed=%s:%d",
                was.relayIp.c_str(), was.relayPort, was.speedIp.c_str(), was.speedPort);
    } else {
        logLine(kLogError, "[Ridova][ERROR] EffectsController old endpoints not turned off: relay=%s:%d speed=%s:%d",
                was.relayIp.c_str(), was.relayPort, was.speedIp.c_str(), was.speedPort);
    }
}

void EffectsController::shutdown() {
    // First, so that a switch connecting right now gives up in time too.
    const Deadline stopBy = Deadline::after(std::chrono::milliseconds(kStopTimeoutMs));
    stopCutoff.bringForward(stopBy);
    std::lock_guard<std::mutex> lifecycle(lifecycleMutex);
    bool wasRunning;
    {
        std::lock_guard<std::mutex> queue(queueMutex);
        wasRunning = running;
        running = false;
        switching = false;
    }
    if (!wasRunning && !installed.any()) return; // nothing to stop
    stopCutoff.bringForward(stopBy); // again: an initialize may have cleared it meanwhile
    queueCondition.notify_all();
    // The worker sends what was queued before the stop (a final "all off")
    // until the stop time-out, then leaves.
    workerThread.join();
    installed = Links{};
    linksInForce = false;
    std::lock_guard<std::mutex> queue(queueMutex);
    jobs.clear();
    pending.clear();
    incoming.reset();
}

void EffectsController::submit(const EffectCommand& command) {
    {
        std::lock_guard<std::mutex> queue(queueMutex);
        if (!running) return;
        (switching ? pending : jobs).push(command);
        if (switching) return;
    }
    queueCondition.notify_one();
}

bool EffectsController::run(const EffectCommand& command) {
    ModbusTcpClient* relay = installed.relay.get();
    ModbusTcpClient* speed = installed.speed.get();
    switch (command.kind) {
    case Kind::Wind:
        return speed == nullptr || speed->writeSingleRegister(kFanSpeedRegister, static_cast<std::uint16_t>(command.value));
    case Kind::WaterMist: {
        const int level = command.value;
        const bool states[4] = {level != 0, level == 1, level == 2, level == 3};
        return relay == nullptr || relay->writeMultipleCoils(kWaterMistFirstCoil, states, 4);
    }
    case Kind::Scent: {
        const int level = command.value;
        const bool states[3] = {level == 1, level == 2, level != 0};
        return relay == nullptr || relay->writeMultipleCoils(kScentFirstCoil, states, 3);
    }
    case Kind::Heater:
        return relay == nullptr || relay->writeSingleCoil(kHeaterCoil, command.value != 0);
    case Kind::AllOff: {
        bool accepted = run({Kind::Wind, 0});
        accepted = run({Kind::WaterMist, 0}) && accepted;
        accepted = run({Kind::Scent, 0}) && accepted;
        return run({Kind::Heater, 0}) && accepted;
    }
    }
    return false;
}

void EffectsController::workerLoop() {
    logLine(kLogDebug, "[Ridova][DEBUG] EffectsController worker thread started");
    std::unique_lock<std::mutex> queue(queueMutex);
    for (;;) {
        queueCondition.wait(queue, [this] { return incoming || !jobs.empty() || !running; });
        if (incoming) {
            Links next = std::move(*incoming);
            incoming.reset();
            queue.unlock();
            retireAndInstall(std::move(next));
            queue.lock();
            continue;
        }
        if (jobs.empty()) break;
        if (!running && stopCutoff.current().passed()) {
            // Devices that do not answer must not hold a release for ever.
            const std::size_t left = jobs.size();
            jobs.clear();
            queue.unlock();
            logLine(kLogError, "[Ridova][ERROR] EffectsController stop time-out: %d queued effect jobs not sent",
                    static_cast<int>(left));
            queue.lock();
            break;
        }
        const EffectCommand command = jobs.pop();
        queue.unlock();
        run(command);
        queue.lock();
    }
    queue.unlock();
    logLine(kLogDebug, "[Ridova][DEBUG] EffectsController worker thread exiting");
}

void EffectsController::setWindSpeed(int level) { submit({Kind::Wind, fanSpeedForLevel(level)}); }
void EffectsController::setWaterMist(int level) { submit({Kind::WaterMist, level}); }
void EffectsController::setScent(int level) { submit({Kind::Scent, level}); }
void EffectsController::setHeater(bool on) { submit({Kind::Heater, on ? 1 : 0}); }
void EffectsController::turnOffAll() { submit({Kind::AllOff, 0}); }

} // namespace karvel
