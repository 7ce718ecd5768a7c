#include "VirtualSeat.h"

namespace karvel::sim {

namespace {
net::Ipv4Endpoint at(const net::Ipv4Endpoint& address, std::uint16_t port) {
    net::Ipv4Endpoint endpoint = address;
    endpoint.port = port;
    return endpoint;
}
} // namespace

VirtualSeat::VirtualSeat(const SeatOptions& options)
    : model_(*options.model), address_(options.address), sessions_(options.sessionGap) {
    auto onChange = [this] { changed(); };
    motion_ = std::make_unique<MotionEndpoint>(model_, at(address_, options.motionPort), options.maxRates, sessions_,
                                               onChange);
    relay_ = std::make_unique<ModbusDevice>(Framing::ModbusTcp, kRelayBoardMap, at(address_, options.relayPort),
                                            sessions_, onChange);
    speed_ = std::make_unique<ModbusDevice>(Framing::RtuOverTcp, kSpeedControllerMap, at(address_, options.speedPort),
                                            sessions_, onChange);
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

std::uint64_t VirtualSeat::restartSession() {
    const std::uint64_t number = sessions_.restart(SessionClock::Clock::now());
    changed();
    return number;
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
    const SessionClock::Session session = sessions_.current();
    result.session = {session.number,
                      std::chrono::duration<double>(SessionClock::Clock::now() - session.started).count(),
                      session.cause};
    result.model = model_.Name;
    result.stroke = static_cast<int>(model_.StrokePulses());
    result.address = net::formatIpv4(address_.octets);
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
