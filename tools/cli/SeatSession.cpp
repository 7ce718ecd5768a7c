#include "SeatSession.h"

#include "LibraryLines.h"
#include "LibraryLog.h"

namespace karvel::cli {

SeatSession::SeatSession(const KarvelSeat::LibraryFunctions& library, const SeatSetup& setup,
                         KarvelSeat::GuardLink* guard)
    : host_(library) {
    host_.SetGuard(guard);
    KarvelSeat::SeatSetup registration;
    registration.Model = setup.model->Code;
    registration.UdpIp = setup.motion.ip.c_str();
    registration.UdpPort = setup.motion.port;
    registration.EnableEffects = true; // for a model that has them
    registration.RelayIp = setup.relay.ip.c_str();
    registration.RelayPort = setup.relay.port;
    registration.SpeedIp = setup.speed.ip.c_str();
    registration.SpeedPort = setup.speed.port;
    LibraryErrors errors;
    if (!host_.Configure(registration)) {
        host_.Release(); // what the refused configuration may have set up
        finished_ = true;
        throw std::runtime_error("the library refused the seat configuration: " + tools::refusalCause(errors.lines()));
    }
}

SeatSession::~SeatSession() { finish(); }

void SeatSession::finish(const std::function<void()>& park) {
    if (finished_) return;
    finished_ = true;
    // Not under the lock: the park comes first, stops any follower and sends
    // its postures through posture().
    host_.Shutdown(park); // the park, effects off, home (one more frame), release
    ++frames_;
}

void SeatSession::posture(float pitch, float roll, float yaw, float height) {
    std::lock_guard<std::mutex> lock(mutex_);
    if (host_.SendPosture(KarvelSeat::Posture{pitch, roll, yaw, height})) ++frames_;
}

void SeatSession::requireEffects(const char* command) const {
    if (!effectsEnabled())
        throw UsageError(std::string(command) + " needs effects: an Orvida seat (--model orvida)");
}

void SeatSession::wind(int level) {
    requireEffects("wind");
    std::lock_guard<std::mutex> lock(mutex_);
    host_.SetWindSpeed(level);
}

void SeatSession::mist(int level) {
    requireEffects("mist");
    std::lock_guard<std::mutex> lock(mutex_);
    host_.SetWaterMist(level);
}

void SeatSession::scent(int level) {
    requireEffects("scent");
    std::lock_guard<std::mutex> lock(mutex_);
    host_.SetScent(level);
}

void SeatSession::heater(bool on) {
    requireEffects("heater");
    std::lock_guard<std::mutex> lock(mutex_);
    host_.SetHeater(on);
}

void SeatSession::effectsOff() {
    requireEffects("off");
    std::lock_guard<std::mutex> lock(mutex_);
    host_.TurnOffAllEffects();
}

void SeatSession::udpEndpoint(const tools::Endpoint& target) {
    std::lock_guard<std::mutex> lock(mutex_);
    if (!host_.SetUdpEndpoint(target.ip.c_str(), target.port))
        throw std::runtime_error("the library refused the motion endpoint " + target.text());
}

void SeatSession::effectsEndpoints(const tools::Endpoint& relay, const tools::Endpoint& speed) {
    requireEffects("effects-endpoints");
    std::lock_guard<std::mutex> lock(mutex_); // postures wait while the devices switch
    if (!host_.SetEffectsEndpoints(relay.ip.c_str(), relay.port, speed.ip.c_str(), speed.port))
        throw std::runtime_error("the library could not switch the effects to " + relay.text() + " and " +
                                 speed.text());
}

} // namespace karvel::cli
