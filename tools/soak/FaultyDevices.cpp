#include "FaultyDevices.h"

#include <algorithm>
#include <stdexcept>

namespace karvel::soak {
namespace {

using Behaviour = test::ModbusTestServer::Behaviour;
using Clock = std::chrono::steady_clock;

struct Fault {
    const char* name;
    Behaviour behaviour;
};
const Fault kFaults[] = {
    {"silent", Behaviour::Silent},   {"late", Behaviour::LateReply},      {"reset", Behaviour::Reset},
    {"garbage", Behaviour::Garbage}, {"replayed", Behaviour::StaleReply}, {"flood", Behaviour::Flood},
};

} // namespace

FaultyDevices::FaultyDevices(std::uint32_t seed) : random_(seed) {
    for (Device* device : {&relay_, &fan_}) {
        device->server = std::make_unique<Server>(device->framing);
        device->port = device->server->port();
    }
}

FaultyDevices::~FaultyDevices() { stopFaults(); }

void FaultyDevices::startFaults() { thread_ = std::thread(&FaultyDevices::run, this); }

void FaultyDevices::stopFaults() {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        stopping_ = true;
    }
    wake_.notify_all();
    if (thread_.joinable()) thread_.join();
    std::lock_guard<std::mutex> lock(mutex_);
    for (Device* device : {&relay_, &fan_}) {
        if (!device->server) bringBack(*device);
        if (device->server) device->server->misbehave(Behaviour::Normal, 0);
    }
}

std::map<std::string, int> FaultyDevices::metLocked(const Device& device) const {
    std::map<std::string, int> met = device.met;
    if (device.server)
        for (const auto& [behaviour, count] : device.server->misbehavioursMet())
            for (const Fault& fault : kFaults)
                if (fault.behaviour == behaviour) met[fault.name] += count;
    return met;
}

std::string FaultyDevices::faultSummary() const {
    std::lock_guard<std::mutex> lock(mutex_);
    std::string text;
    for (const Device* device : {&relay_, &fan_}) {
        text += text.empty() ? "" : "; ";
        text += device->name;
        text += ":";
        const std::map<std::string, int> met = metLocked(*device);
        int requestFaults = 0; // what `armed` counts: downs and busy ports are not armed per request
        for (const auto& [name, count] : met) {
            if (name != "down" && name != "port busy") requestFaults += count;
            text += " " + name + " " + std::to_string(count);
        }
        if (met.empty()) text += " none";
        // A fault armed for three requests and met by one leaves two unmet.
        text += ", armed and never met " + std::to_string(std::max(device->armed - requestFaults, 0));
    }
    return text;
}

std::optional<std::uint16_t> FaultyDevices::fanSpeed() const {
    std::lock_guard<std::mutex> lock(mutex_);
    if (!fan_.server) return std::nullopt;
    return fan_.server->holdingRegister(3);
}

std::optional<std::vector<bool>> FaultyDevices::relayCoils(int first, int count) const {
    std::lock_guard<std::mutex> lock(mutex_);
    if (!relay_.server) return std::nullopt;
    return relay_.server->coils(first, count);
}

std::uint64_t FaultyDevices::faultsMet(bool relay) const {
    std::lock_guard<std::mutex> lock(mutex_);
    std::uint64_t total = 0;
    for (const auto& [name, count] : metLocked(relay ? relay_ : fan_)) total += static_cast<std::uint64_t>(count);
    return total;
}

void FaultyDevices::run() {
    std::unique_lock<std::mutex> lock(mutex_);
    while (!stopping_) {
        // A fault somewhere every 2 to 6 seconds, so that the jobs queued behind one drain.
        const auto pause = std::chrono::milliseconds(std::uniform_int_distribution<int>(2000, 6000)(random_));
        if (wake_.wait_for(lock, pause, [this] { return stopping_; })) break;
        for (Device* device : {&relay_, &fan_})
            if (!device->server && Clock::now() >= device->backAt) bringBack(*device);
        Device& device = std::bernoulli_distribution(0.5)(random_) ? relay_ : fan_;
        if (device.server) injectFault(device);
    }
}

void FaultyDevices::injectFault(Device& device) {
    const int pick = std::uniform_int_distribution<int>(0, static_cast<int>(std::size(kFaults)))(random_);
    if (pick == static_cast<int>(std::size(kFaults))) {
        device.met = metLocked(device); // what the server met goes with it
        device.server.reset();
        device.backAt = Clock::now() + std::chrono::milliseconds(std::uniform_int_distribution<int>(1000, 5000)(random_));
        ++device.met["down"];
        return;
    }
    const int count = std::uniform_int_distribution<int>(1, 3)(random_);
    device.server->misbehave(kFaults[pick].behaviour, count);
    device.armed += count;
}

void FaultyDevices::bringBack(Device& device) {
    // The port may be taken for a moment (an outgoing connection of some
    // program); then the device stays down until the next try.
    try {
        device.server = std::make_unique<Server>(device.framing, device.port);
    } catch (const std::runtime_error&) {
        ++device.met["port busy"];
    }
}

} // namespace karvel::soak
