#include "VirtualSeat.h"

namespace karvel::sim {

VirtualSeat::VirtualSeat(const SeatOptions& options) : model_(*options.model) {
    auto onChange = [this] { changed(); };
    motion_ = std::make_unique<MotionEndpoint>(model_, options.motionPort, options.maxRates, onChange);
    relay_ = std::make_unique<ModbusDevice>(Framing::ModbusTcp, kRelayBoardMap, options.relayPort, onChange);
    speed_ = std::make_unique<ModbusDevice>(Framing::RtuOverTcp, kSpeedControllerMap, options.speedPort, onChange);
}

void VirtualSeat::changed() {
    {
        std::lock_guard<std::mutex> lock(versionMutex_);
        ++version_;
    }
    versionChanged_.notify_all();
}

void VirtualSeat::setHttpPort(int port) {
    {
        std::lock_guard<std::mutex> lock(versionMutex_);
        httpPort_ = port;
    }
    changed();
}

Ports VirtualSeat::ports() const {
    std::lock_guard<std::mutex> lock(versionMutex_);
    return Ports{motion_->port(), relay_->port(), speed_->port(), httpPort_};
}

SimSnapshot VirtualSeat::snapshot() const {
    SimSnapshot result;
    {
        std::lock_guard<std::mutex> lock(versionMutex_);
        result.version = version_; // taken first: a change after this makes the next wait return
    }
    result.model = model_.Name;
    result.stroke = static_cast<int>(model_.StrokePulses());
    result.ports = ports();
    result.motion = motion_->state();
    result.relay = relay_->state();
    result.speed = speed_->state();
    result.effects = effectsFrom(result.relay, result.speed);
    return result;
}

std::uint64_t VirtualSeat::waitForChange(std::uint64_t seen, std::chrono::milliseconds timeout) const {
    std::unique_lock<std::mutex> lock(versionMutex_);
    versionChanged_.wait_for(lock, timeout, [&] { return version_ != seen; });
    return version_;
}

} // namespace karvel::sim
