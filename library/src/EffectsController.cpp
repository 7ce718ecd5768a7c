#include "EffectsController.h"

#include <system_error>

#include "LogSink.h"

namespace karvel {
namespace {

bool validPort(int port) { return port >= 1 && port <= 65535; }

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
    links.relay = std::make_unique<ModbusTcpClient>(false);
    links.speed = std::make_unique<ModbusTcpClient>(true);
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
        std::lock_guard<std::mutex> clients(clientsMutex);
        relayClient = std::move(links.relay);
        speedClient = std::move(links.speed);
        currentEndpoints = endpoints;
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
    ++generation;
    try {
        workerThread.start([this] { workerLoop(); });
    } catch (const std::system_error& error) {
        logLine(kLogError, "[Ridova][ERROR] EffectsController worker thread could not be started: %s", error.what());
        {
            std::lock_guard<std::mutex> queue(queueMutex);
            running = false;
        }
        std::lock_guard<std::mutex> clients(clientsMutex);
        relayClient.reset();
        speedClient.reset();
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
    }
    {
        std::lock_guard<std::mutex> clients(clientsMutex);
        if (relayClient && speedClient && endpoints == currentEndpoints) return true;
    }
    {
        std::lock_guard<std::mutex> queue(queueMutex);
        switching = true;
    }
    Links links = connectLinks(endpoints);
    if (!links.bothConnected()) {
        const bool relayFailed = !links.relayConnected;
        links = Links{};
        {
            // The installed pair stays in force, and so do the jobs queued for it.
            std::lock_guard<std::mutex> queue(queueMutex);
            switching = false;
        }
        error = relayFailed ? "relay controller connection failed" : "speed controller connection failed";
        logLine(kLogError, "[Ridova][ERROR] EffectsController reconfigure failed: %s", error.c_str());
        return false;
    }
    {
        // Jobs queued so far were meant for the old pair: none of them may run against the new one.
        std::lock_guard<std::mutex> queue(queueMutex);
        ++generation;
        jobs.clear();
    }
    Links old;
    {
        std::lock_guard<std::mutex> clients(clientsMutex);
        turnOffInstalledLinks();
        old.relay = std::move(relayClient);
        old.speed = std::move(speedClient);
        relayClient = std::move(links.relay);
        speedClient = std::move(links.speed);
        currentEndpoints = endpoints;
    }
    old.relay.reset();
    old.speed.reset();
    {
        std::lock_guard<std::mutex> queue(queueMutex);
        switching = false;
    }
    logLine(kLogInfo, "[Ridova][INFO] EffectsController endpoints switched: relay=%s:%d speed=%s:%d",
            endpoints.relayIp.c_str(), endpoints.relayPort, endpoints.speedIp.c_str(), endpoints.speedPort);
    return true;
}

void EffectsController::turnOffInstalledLinks() {
    if (relayClient) {
        const bool off[4] = {false, false, false, false};
        relayClient->writeMultipleCoils(kWaterMistFirstCoil, off, 4);
        // Scent too, so that no output is left on on a board we no longer control.
        relayClient->writeMultipleCoils(kScentFirstCoil, off, 3);
        relayClient->writeSingleCoil(kHeaterCoil, false);
    }
    if (speedClient) speedClient->writeSingleRegister(kFanSpeedRegister, 0);
}

void EffectsController::shutdown() {
    std::lock_guard<std::mutex> lifecycle(lifecycleMutex);
    bool wasRunning;
    {
        // Stop first: a job in progress holds the clients lock for up to its
        // time-outs, and no further job may start as if nothing had happened.
        std::lock_guard<std::mutex> queue(queueMutex);
        wasRunning = running;
        running = false;
        switching = false;
    }
    if (!wasRunning) {
        std::lock_guard<std::mutex> clients(clientsMutex);
        if (!relayClient && !speedClient) return; // nothing to stop
    }
    queueCondition.notify_all();
    // The worker runs what was queued before the stop (turn-off jobs among
    // them) against the installed pair, up to the first job that fails.
    workerThread.join();
    ++generation;
    Links old;
    {
        std::lock_guard<std::mutex> clients(clientsMutex);
        old.relay = std::move(relayClient);
        old.speed = std::move(speedClient);
    }
    old.relay.reset();
    old.speed.reset();
    std::lock_guard<std::mutex> queue(queueMutex);
    jobs.clear();
}

void EffectsController::submit(Job job) {
    {
        std::lock_guard<std::mutex> queue(queueMutex);
        if (!running || switching) return;
        jobs.push_back(QueuedJob{generation.load(), std::move(job)});
    }
    queueCondition.notify_one();
}

bool EffectsController::runQueued(const QueuedJob& job) {
    if (job.generation != generation.load()) return true; // meant for a pair that is gone
    std::lock_guard<std::mutex> clients(clientsMutex);
    if (job.generation != generation.load()) return true;
    return job.work();
}

void EffectsController::workerLoop() {
    logLine(kLogDebug, "[Ridova][DEBUG] EffectsController worker thread started");
    std::unique_lock<std::mutex> queue(queueMutex);
    for (;;) {
        queueCondition.wait(queue, [this] { return !jobs.empty() || !running; });
        if (jobs.empty()) break;
        QueuedJob job = std::move(jobs.front());
        jobs.pop_front();
        queue.unlock();
        const bool accepted = runQueued(job);
        queue.lock();
        if (!accepted && !running) {
            jobs.clear(); // stopping: a dead device must not stretch the stop by every job left
            break;
        }
    }
    queue.unlock();
    logLine(kLogDebug, "[Ridova][DEBUG] EffectsController worker thread exiting");
}

void EffectsController::setWindSpeed(int level) {
    const std::uint16_t value = fanSpeedForLevel(level);
    submit([this, value] { return !speedClient || speedClient->writeSingleRegister(kFanSpeedRegister, value); });
}

void EffectsController::setWaterMist(int level) {
    submit([this, level] {
        const bool states[4] = {level != 0, level == 1, level == 2, level == 3};
        return !relayClient || relayClient->writeMultipleCoils(kWaterMistFirstCoil, states, 4);
    });
}

void EffectsController::setScent(int level) {
    submit([this, level] {
        const bool states[3] = {level == 1, level == 2, level != 0};
        return !relayClient || relayClient->writeMultipleCoils(kScentFirstCoil, states, 3);
    });
}

void EffectsController::setHeater(bool on) {
    submit([this, on] { return !relayClient || relayClient->writeSingleCoil(kHeaterCoil, on); });
}

} // namespace karvel
