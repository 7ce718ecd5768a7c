#include "SeatSession.h"

namespace karvel::cli {

SeatSession::SeatSession(const KarvelSeat::LibraryFunctions& library, const SeatSetup& setup) : host_(library) {
    KarvelSeat::SeatSetup registration;
    registration.Model = setup.model->Code;
    registration.UdpIp = setup.motion.ip.c_str();
    registration.UdpPort = setup.motion.port;
    registration.EnableEffects = true; // for a model that has them
    registration.RelayIp = setup.relay.ip.c_str();
    registration.RelayPort = setup.relay.port;
    registration.SpeedIp = setup.speed.ip.c_str();
    registration.SpeedPort = setup.speed.port;
    if (!host_.Configure(registration)) {
        host_.Release(); // what the refused configuration may have set up
        finished_ = true;
        throw std::runtime_error("the library refused the seat configuration (is UDP port 8410 free?)");
    }
}

SeatSession::~SeatSession() { finish(); }

void SeatSession::finish() {
    if (finished_) return;
    finished_ = true;
    host_.Shutdown(); // effects off, home (one more frame), release
    ++frames_;
}

void SeatSession::posture(float pitch, float roll, float yaw, float height) {
    if (host_.SendPosture(KarvelSeat::Posture{pitch, roll, yaw, height})) ++frames_;
}

void SeatSession::rotate(float pitch, float yaw, float roll, float height) {
    if (host_.SendPosture(KarvelSeat::RotatorPosture(pitch, yaw, roll, height))) ++frames_;
}

void SeatSession::home() {
    host_.ResetPosition();
    ++frames_;
}

void SeatSession::requireEffects(const char* command) const {
    if (!effectsEnabled())
        throw UsageError(std::string(command) + " needs effects: an Orvida seat (--model orvida)");
}

void SeatSession::wind(int level) {
    requireEffects("wind");
    host_.SetWindSpeed(level);
}

void SeatSession::mist(int level) {
    requireEffects("mist");
    host_.SetWaterMist(level);
}

void SeatSession::scent(int level) {
    requireEffects("scent");
    host_.SetScent(level);
}

void SeatSession::heater(bool on) {
    requireEffects("heater");
    host_.SetHeater(on);
}

void SeatSession::effectsOff() {
    requireEffects("off");
    host_.TurnOffAllEffects();
}

void SeatSession::udpEndpoint(const tools::Endpoint& target) {
    if (!host_.SetUdpEndpoint(target.ip.c_str(), target.port))
        throw std::runtime_error("the library refused the motion endpoint " + target.text());
}

void SeatSession::effectsEndpoints(const tools::Endpoint& relay, const tools::Endpoint& speed) {
    requireEffects("effects-endpoints");
    if (!host_.SetEffectsEndpoints(relay.ip.c_str(), relay.port, speed.ip.c_str(), speed.port))
        throw std::runtime_error("the library could not switch the effects to " + relay.text() + " and " +
                                 speed.text());
}

} // namespace karvel::cli
