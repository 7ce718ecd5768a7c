#include "SeatSession.h"

#include <cmath>
#include <cstdio>

namespace karvel::cli {

namespace {

float normaliseDegrees(float angle) {
    float wrapped = std::fmod(angle, 360.0f);
    if (wrapped > 180.0f) wrapped -= 360.0f;
    if (wrapped <= -180.0f) wrapped += 360.0f;
    return wrapped;
}

float limit(float value, float low, float high) { return std::fmin(std::fmax(value, low), high); }

} // namespace

SeatSession::SeatSession(host::KarvelLibrary& library, tools::EffectsExports& effects, const SeatSetup& setup)
    : library_(library), effects_(effects), model_(setup.model), effectsEnabled_(setup.model == 1 && effects.available()) {
    if (setup.model == 1 && !effects.available())
        std::fprintf(stderr, "karvel: this library has no effects functions; effect commands are refused\n");
    const bool configured =
        library_.SetConfiguration(setup.model, setup.motion.ip.c_str(), setup.motion.port, effectsEnabled_ ? 1 : 0,
                                  setup.relay.ip.c_str(), setup.relay.port, setup.speed.ip.c_str(), setup.speed.port);
    if (!configured) throw std::runtime_error("the library refused the seat configuration (is UDP port 8410 free?)");
}

SeatSession::~SeatSession() { finish(); }

void SeatSession::finish() {
    if (finished_) return;
    finished_ = true;
    if (effectsEnabled_ && !allOff_) effectsOff();
    home();
    library_.Release(); // sends the effects off and the frames still queued, home included
}

void SeatSession::posture(float pitch, float roll, float yaw, float height) {
    library_.SendSeatPosture(pitch, roll, yaw, height);
    ++frames_;
}

KarvelCueing::SeatPose rotatorPose(float pitch, float yaw, float roll, float height) {
    return {limit(normaliseDegrees(pitch), -15.0f, 15.0f), limit(normaliseDegrees(roll), -15.0f, 15.0f),
            normaliseDegrees(yaw), limit(height, 0.0f, 1.0f)};
}

KarvelCueing::SeatPose SeatSession::homePose() const {
    KarvelCueing::SeatPose home;
    home.Height = model_ == 1 ? 0.5 : 0.0;
    return home;
}

void SeatSession::home() {
    library_.ResetPosition();
    ++frames_;
}

void SeatSession::requireEffects(const char* command) const {
    if (!effectsEnabled_)
        throw UsageError(std::string(command) + " needs effects: an Orvida seat (--model orvida) and a library with "
                                                "the effects functions");
}

void SeatSession::wind(int level) {
    requireEffects("wind");
    effects_.SetWindSpeed(level);
    allOff_ = false;
}

void SeatSession::mist(int level) {
    requireEffects("mist");
    effects_.SetWaterMist(level);
    allOff_ = false;
}

void SeatSession::scent(int level) {
    requireEffects("scent");
    effects_.SetScent(level);
    allOff_ = false;
}

void SeatSession::heater(bool on) {
    requireEffects("heater");
    effects_.SetHeater(on ? 1 : 0);
    allOff_ = false;
}

void SeatSession::effectsOff() {
    requireEffects("off");
    effects_.TurnOffAllEffects();
    allOff_ = true;
}

void SeatSession::udpEndpoint(const tools::Endpoint& target) {
    if (!library_.SetUdpEndpoint(target.ip.c_str(), target.port))
        throw std::runtime_error("the library refused the motion endpoint " + target.text());
}

void SeatSession::effectsEndpoints(const tools::Endpoint& relay, const tools::Endpoint& speed) {
    requireEffects("effects-endpoints");
    allOff_ = false; // what the new devices hold is not known
    if (!effects_.SetEffectsEndpoints(relay.ip.c_str(), relay.port, speed.ip.c_str(), speed.port))
        throw std::runtime_error("the library could not switch the effects to " + relay.text() + " and " +
                                 speed.text());
}

} // namespace karvel::cli
