#include "FaultyDevices.h"

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

std::string FaultyDevices::faultSummary() const {
    std::lock_guard<std::mutex> lock(mutex_);
    std::string text;
    for (const Device* device : {&relay_, &fan_}) {
        text += text.empty() ? "" : "; ";
        text += device->name;
        text += ":";
        if (device->faults.empty()) text += " none";
        for (const auto& [name, count] : device->faults) text += " " + name + " " + std::to_string(count);
    }
    return text;
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
        device.server.reset();
        device.backAt = Clock::now() + std::chrono::milliseconds(std::uniform_int_distribution<int>(1000, 5000)(random_));
        ++device.faults["down"];
        return;
    }
    device.server->misbehave(kFaults[pick].behaviour, std::uniform_int_distribution<int>(1, 3)(random_));
    ++device.faults[kFaults[pick].name];
}

void FaultyDevices::bringBack(Device& device) {
    // The port may be taken for a moment (an outgoing connection of some
    // program); then the device stays down until the next try.
    try {
        device.server = std::make_unique<Server>(device.framing, device.port);
    } catch (const std::runtime_error&) {
        ++device.faults["port busy"];
    }
}

} // namespace karvel::soak
