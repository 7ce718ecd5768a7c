#include "EffectsDevice.h"

#include <chrono>
#include <system_error>
#include <utility>

#include "LogSink.h"

namespace karvel {
namespace {

using Effect = EffectCommand::Kind;

// What an all-off is on each device, in the order it is sent.
std::vector<EffectCommand> allOffParts(EffectsDevice::Kind device) {
    if (device == EffectsDevice::Kind::FanSpeedController) return {{Effect::Wind, 0}};
    return {{Effect::WaterMist, 0}, {Effect::Scent, 0}, {Effect::Heater, 0}};
}

} // namespace

EffectsDevice::EffectsDevice(Kind deviceKind, const SharedCutoff& stopCutoff) : kind(deviceKind), stop(stopCutoff) {}

EffectsDevice::~EffectsDevice() {
    requestStop(false);
    join();
}

const char* EffectsDevice::name() const {
    return kind == Kind::RelayBoard ? "relay board" : "fan speed controller";
}

EffectsDevice::Kind EffectsDevice::deviceFor(EffectCommand::Kind effect) {
    return effect == EffectCommand::Kind::Wind ? Kind::FanSpeedController : Kind::RelayBoard;
}

std::unique_ptr<ModbusTcpClient> EffectsDevice::newClient() const {
    const modbus::Framing& framing = kind == Kind::RelayBoard ? modbus::kModbusTcp : modbus::kRtuOverTcp;
    return std::make_unique<ModbusTcpClient>(framing, name(), &stop);
}

bool EffectsDevice::start(const std::optional<DeviceEndpoint>& endpoint) {
    link = endpoint ? Link{newClient(), *endpoint} : Link{};
    {
        std::lock_guard<std::mutex> lock(mutex);
        jobs.clear();
        held.clear();
        incoming.reset();
        running = true;
        holding = false;
        turnOffAtStop = false;
        hasEndpoint = endpoint.has_value();
        connectEnded = false;
        connectTaken = false;
        unanswered = false;
        triedSinceStop = false;
    }
    try {
        worker.start([this] { workerLoop(); });
    } catch (const std::system_error& error) {
        logLine(kLogError, "[Ridova][ERROR] EffectsController worker thread could not be started (%s): %s", name(),
                error.what());
        {
            std::lock_guard<std::mutex> lock(mutex);
            running = false;
            connectEnded = true;
        }
        link = Link{};
        return false;
    }
    return true;
}

bool EffectsDevice::awaitConnect() {
    std::unique_lock<std::mutex> lock(mutex);
    changed.wait(lock, [this] { return connectEnded; });
    return connectTaken;
}

void EffectsDevice::submit(const EffectCommand& command) {
    {
        std::unique_lock<std::mutex> lock(mutex);
        if (!running) return;
        if (holding) {
            held.push(command); // the switch decides which link it goes to
            return;
        }
        if (!hasEndpoint) {
            lock.unlock();
            logLine(kLogError, "[Ridova][ERROR] EffectsController %s has no endpoint: effect call dropped", name());
            return;
        }
        jobs.push(command);
    }
    changed.notify_all();
}

void EffectsDevice::holdCalls() {
    std::lock_guard<std::mutex> lock(mutex);
    holding = true;
}

std::unique_ptr<ModbusTcpClient> EffectsDevice::connect(const DeviceEndpoint& endpoint) const {
    std::unique_ptr<ModbusTcpClient> client = newClient();
    if (!client->connect(endpoint.ip, endpoint.port)) return nullptr;
    return client;
}

void EffectsDevice::switchTo(std::unique_ptr<ModbusTcpClient> client, const DeviceEndpoint& endpoint) {
    std::optional<Link> neverInstalled;
    std::size_t notSent;
    {
        std::lock_guard<std::mutex> lock(mutex);
        // Queued for the old link, which the worker turns off next: its all-off stands in for them.
        notSent = jobs.size();
        jobs = std::move(held);
        held.clear();
        holding = false;
        hasEndpoint = true;
        ++linkGeneration;
        neverInstalled = std::move(incoming); // switched to and away from before the worker got to it
        incoming = Link{std::move(client), endpoint};
    }
    changed.notify_all();
    neverInstalled.reset();
    logTurnedOffInstead(notSent);
}

void EffectsDevice::resumeCalls() {
    {
        std::lock_guard<std::mutex> lock(mutex);
        jobs.append(std::move(held));
        holding = false;
    }
    changed.notify_all();
}

void EffectsDevice::requestStop(bool turnOff) {
    {
        std::lock_guard<std::mutex> lock(mutex);
        if (!running) return;
        running = false;
        holding = false;
        turnOffAtStop = turnOff;
    }
    changed.notify_all();
}

void EffectsDevice::join() {
    worker.join();
    std::optional<Link> neverInstalled;
    {
        std::lock_guard<std::mutex> lock(mutex);
        jobs.clear();
        held.clear();
        neverInstalled = std::move(incoming);
        incoming.reset();
        connectEnded = true;
    }
    link = Link{}; // disconnects
}

bool EffectsDevice::workReady() const {
    if (incoming || !running) return true;
    return !jobs.empty() && !(unanswered && !retryAt.passed());
}

void EffectsDevice::workerLoop() {
    logLine(kLogDebug, "[Ridova][DEBUG] EffectsController worker thread started (%s)", name());
    const bool taken = link.client && link.client->connect(link.endpoint.ip, link.endpoint.port);
    std::unique_lock<std::mutex> lock(mutex);
    connectEnded = true;
    connectTaken = taken;
    if (link.client && !taken) noteUnanswered(lock);
    changed.notify_all();
    for (;;) {
        while (!workReady()) {
            if (unanswered && !jobs.empty())
                changed.wait_until(lock, retryAt.when());
            else
                changed.wait(lock);
        }
        if (incoming) {
            Link next = std::move(*incoming);
            incoming.reset();
            lock.unlock();
            Link old = std::exchange(link, std::move(next));
            if (old.client) turnOff(old, Deadline::after(std::chrono::milliseconds(kTurnOffTimeoutMs)));
            old = Link{}; // disconnects
            lock.lock();
            unanswered = false; // a fresh link
            continue;
        }
        if (!running) {
            if (turnOffAtStop) {
                const std::size_t notSent = jobs.size();
                jobs.clear();
                lock.unlock();
                logTurnedOffInstead(notSent);
                if (link.client) turnOff(link, Deadline::never()); // the stop cutoff bounds it
                lock.lock();
                break;
            }
            if (jobs.empty()) break;
            // A device that does not answer at the stop gets one try, not the retry timer's.
            if (stop.current().passed() || (unanswered && triedSinceStop)) {
                dropAtStop(lock);
                break;
            }
        }
        const EffectCommand command = jobs.pop();
        const std::uint64_t generation = linkGeneration;
        const bool stopping = !running;
        lock.unlock();
        const std::vector<EffectCommand> unansweredParts = send(command);
        lock.lock();
        if (generation != linkGeneration) continue; // switched meanwhile: the old link's all-off stands in
        if (stopping) triedSinceStop = true;
        if (unansweredParts.empty()) {
            if (unanswered) noteAnswered(lock);
            continue;
        }
        for (auto part = unansweredParts.rbegin(); part != unansweredParts.rend(); ++part) jobs.putBack(*part);
        if (!unanswered) noteUnanswered(lock);
        retryAt = Deadline::after(std::chrono::milliseconds(kRetryIntervalMs));
    }
    lock.unlock();
    logLine(kLogDebug, "[Ridova][DEBUG] EffectsController worker thread exiting (%s)", name());
}

std::vector<EffectCommand> EffectsDevice::send(const EffectCommand& command) {
    std::vector<EffectCommand> unansweredParts;
    if (!link.client) return unansweredParts;
    const std::vector<EffectCommand> parts =
        command.kind == Effect::AllOff ? allOffParts(kind) : std::vector<EffectCommand>{command};
    for (const EffectCommand& part : parts)
        if (!write(*link.client, part, Deadline::never()).answered()) unansweredParts.push_back(part);
    return unansweredParts;
}

modbus::Result EffectsDevice::write(ModbusTcpClient& client, const EffectCommand& command, Deadline limit) const {
    const int level = command.value;
    switch (command.kind) {
    case Effect::Wind:
        return client.writeSingleRegister(kFanSpeedRegister, static_cast<std::uint16_t>(level), limit);
    case Effect::WaterMist: {
        const bool states[4] = {level != 0, level == 1, level == 2, level == 3};
        return client.writeMultipleCoils(kWaterMistFirstCoil, states, 4, limit);
    }
    case Effect::Scent: {
        const bool states[3] = {level == 1, level == 2, level != 0};
        return client.writeMultipleCoils(kScentFirstCoil, states, 3, limit);
    }
    case Effect::Heater:
        return client.writeSingleCoil(kHeaterCoil, level != 0, limit);
    case Effect::AllOff:
        break;
    }
    return modbus::failedWith(modbus::Failure::RequestInvalid);
}

void EffectsDevice::turnOff(const Link& old, Deadline limit) const {
    bool accepted = true;
    for (const EffectCommand& part : allOffParts(kind)) accepted = write(*old.client, part, limit).accepted() && accepted;
    if (accepted) {
        logLine(kLogInfo, "[Ridova][INFO] EffectsController old %s turned off: %s:%d", name(), old.endpoint.ip.c_str(),
                old.endpoint.port);
    } else {
        logLine(kLogError, "[Ridova][ERROR] EffectsController old %s not turned off: %s:%d", name(),
                old.endpoint.ip.c_str(), old.endpoint.port);
    }
}

void EffectsDevice::logTurnedOffInstead(std::size_t notSent) const {
    if (notSent == 0) return;
    logLine(kLogInfo, "[Ridova][INFO] EffectsController %s: %d queued effect jobs not sent, turned off instead", name(),
            static_cast<int>(notSent));
}

void EffectsDevice::noteUnanswered(std::unique_lock<std::mutex>& lock) {
    unanswered = true;
    retryAt = Deadline::after(std::chrono::milliseconds(kRetryIntervalMs));
    lock.unlock();
    logLine(kLogError,
            "[Ridova][ERROR] EffectsController %s not answering at %s:%d: keeping its latest effect levels, trying "
            "again every %d ms",
            name(), link.endpoint.ip.c_str(), link.endpoint.port, kRetryIntervalMs);
    lock.lock();
}

void EffectsDevice::noteAnswered(std::unique_lock<std::mutex>& lock) {
    unanswered = false;
    lock.unlock();
    logLine(kLogInfo, "[Ridova][INFO] EffectsController %s answering again at %s:%d", name(), link.endpoint.ip.c_str(),
            link.endpoint.port);
    lock.lock();
}

void EffectsDevice::dropAtStop(std::unique_lock<std::mutex>& lock) {
    const int notSent = static_cast<int>(jobs.size());
    jobs.clear();
    lock.unlock();
    if (stop.current().passed()) {
        logLine(kLogError, "[Ridova][ERROR] EffectsController stop time-out: %d queued effect jobs not sent to the %s",
                notSent, name());
    } else {
        logLine(kLogError, "[Ridova][ERROR] EffectsController %s not answering at stop: %d queued effect jobs not sent",
                name(), notSent);
    }
    lock.lock();
}

} // namespace karvel
