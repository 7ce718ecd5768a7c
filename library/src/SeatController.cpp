// The seat controller and the exported C functions. No exception crosses an
// export: a failure inside becomes a false result (or nothing) and an ERROR line.
#include "SeatController.h"

#include <atomic>
#include <cmath>
#include <exception>

#include "KinematicsLog.h"
#include "SeatAlgorithm.h"

namespace karvel {
namespace {

bool allFinite(float a, float b, float c, float d) {
    return std::isfinite(a) && std::isfinite(b) && std::isfinite(c) && std::isfinite(d);
}

std::string ownedText(const char* text) { return text != nullptr ? std::string(text) : std::string(); }

// Runs one export's body; an escaping exception is logged and turned into `fallback`.
template <typename Result, typename Body>
Result guarded(const char* exportName, Result fallback, Body&& body) noexcept {
    try {
        return body();
    } catch (const std::exception& error) {
        logLine(kLogError, "[Ridova][ERROR] %s failed: %s", exportName, error.what());
    } catch (...) {
        logLine(kLogError, "[Ridova][ERROR] %s failed: unknown error", exportName);
    }
    return fallback;
}

template <typename Body>
void guarded(const char* exportName, Body&& body) noexcept {
    guarded(exportName, 0, [&body] {
        body();
        return 0;
    });
}

// For the exports that take the controller's lock or join a worker
// (configuration, endpoint changes, release): from inside the log callback
// the calling thread may hold that lock or be that worker, so there they are
// refused, with `fallback` as the result.
template <typename Result, typename Body>
Result guardedOutsideCallback(const char* exportName, Result fallback, Body&& body) noexcept {
    return guarded(exportName, fallback, [&]() -> Result {
        if (!LogSink::insideCallback()) return body();
        logLine(kLogError, "[Ridova][ERROR] %s refused: called from inside the log callback", exportName);
        return fallback;
    });
}

template <typename Body>
void guardedOutsideCallback(const char* exportName, Body&& body) noexcept {
    guardedOutsideCallback(exportName, 0, [&body] {
        body();
        return 0;
    });
}

bool refusedNull(const char* exportName, const char* parameter, const char* value) {
    if (value != nullptr) return false;
    logLine(kLogError, "[Ridova][ERROR] %s refused: %s is a null pointer", exportName, parameter);
    return true;
}

// Set while the controller lives; constant-initialised and never destroyed,
// so that an exit handler that runs late can still read it.
std::atomic<bool> controllerLive{false};

} // namespace

void logLine(int level, const char* format, ...) {
    va_list arguments;
    va_start(arguments, format);
    SeatController::instance().sink().vlog(level, format, arguments);
    va_end(arguments);
}

SeatController& SeatController::instance() {
    static SeatController controller;
    return controller;
}

SeatController::SeatController() { controllerLive = true; }

SeatController::~SeatController() {
    controllerLive = false;
    if (abandoned) return;
    logSink.close(LogSink::kCloseWait);
    if (installedTransport() || installedEffects()) release();
}

void SeatController::closeLogAtExit(void*) {
    if (controllerLive) instance().logSink.close(LogSink::kCloseWait);
}

bool SeatController::setConfiguration(std::int32_t newSeatType, const std::string& udpIp, int udpPort,
                                      bool enableEffects, const EffectsEndpoints& endpoints) {
    std::lock_guard<std::mutex> lock(controllerMutex);
    seatType = newSeatType;
    logLine(kLogInfo, "[Ridova][INFO] setConfiguration called: seatType=%d, udpIp=%s, udpPort=%d, enableEffects=%d",
            newSeatType, udpIp.c_str(), udpPort, enableEffects ? 1 : 0);
    // The old transport is closed (its worker joined, port 8410 freed) before
    // the new one binds: destroying it closes it, and a posture call that
    // still holds it must not keep it open.
    if (const auto old = uninstallTransport(); old.use_count() > 1) old->close();
    const auto fresh = std::make_shared<UDPTransportLayer>();
    if (!fresh->initialize(udpIp, udpPort)) {
        logLine(kLogError, "[Ridova][ERROR] UDP initialization failed for IP: %s:%d", udpIp.c_str(), udpPort);
        return false;
    }
    std::atomic_store(&transport, fresh);
    logLine(kLogInfo, "[Ridova][INFO] UDP initialized successfully for IP: %s:%d", udpIp.c_str(), udpPort);
    startEffects(enableEffects, endpoints);
    return true;
}

void SeatController::startEffects(bool enableEffects, const EffectsEndpoints& endpoints) {
    // The devices of the previous configuration are turned off before they
    // are dropped: nothing keeps running that nothing controls any more. This
    // runs here, on the configuring thread, so that a call still holding the
    // old controller (an endpoint switch, an effect call from inside the log
    // callback on its own worker) never has to join its own worker.
    if (const auto previous = std::atomic_exchange(&effects, std::shared_ptr<EffectsController>()))
        previous->shutdownTurningOff();
    if (!enableEffects) {
        logLine(kLogInfo, "[Ridova][INFO] Effects disabled.");
        return;
    }
    const auto started = std::make_shared<EffectsController>();
    std::atomic_store(&effects, started);
    if (started->initialize(endpoints)) {
        logLine(kLogInfo, "[Ridova][INFO] Effects initialized successfully.");
    } else {
        logLine(kLogError,
                "[Ridova][ERROR] Effects initialization failed; endpoints can still be corrected with "
                "setEffectsEndpoints. RelayIP=%s, RelayPort=%d",
                endpoints.relayIp.c_str(), endpoints.relayPort);
    }
}

void SeatController::releaseEffects() {
    const std::shared_ptr<EffectsController> installed = installedEffects();
    if (!installed) return;
    installed->shutdown();
    std::atomic_store(&effects, std::shared_ptr<EffectsController>());
    logLine(kLogInfo, "[Ridova][INFO] EffectsController released");
}

bool SeatController::setEffectsEndpoints(const std::string& relayIp, int relayPort, const std::string& speedIp,
                                         int speedPort) {
    const EffectsEndpoints endpoints{relayIp, relayPort, speedIp, speedPort};
    if (!effectsEndpointsAccepted("setEffectsEndpoints", endpoints)) return false;
    std::shared_ptr<EffectsController> target;
    {
        std::lock_guard<std::mutex> lock(controllerMutex);
        target = installedEffects();
    }
    // The switch runs outside the controller lock; the reference keeps the
    // effects controller alive even if a configuration replaces it meanwhile.
    if (!target) {
        logLine(kLogError, "[Ridova][ERROR] setEffectsEndpoints called while effects are disabled");
        return false;
    }
    std::string error;
    const bool switched = target->reconfigure(endpoints, error);
    if (!switched)
        logLine(kLogError, "[Ridova][ERROR] setEffectsEndpoints failed: %s", error.empty() ? "unknown error" : error.c_str());
    return switched;
}

void SeatController::setWindSpeed(int level) {
    if (const auto installed = installedEffects()) {
        logLine(kLogDebug, "[Ridova][DEBUG] setWindSpeed: %d", level);
        installed->setWindSpeed(level);
    }
}

void SeatController::setWaterMist(int level) {
    if (const auto installed = installedEffects()) {
        logLine(kLogDebug, "[Ridova][DEBUG] setWaterMist: %d", level);
        installed->setWaterMist(level);
    }
}

void SeatController::setScent(int level) {
    if (const auto installed = installedEffects()) {
        logLine(kLogDebug, "[Ridova][DEBUG] setScent: %d", level);
        installed->setScent(level);
    }
}

void SeatController::setHeater(bool on) {
    if (const auto installed = installedEffects()) {
        logLine(kLogDebug, "[Ridova][DEBUG] setHeater: %d", on ? 1 : 0);
        installed->setHeater(on);
    }
}

void SeatController::turnOffAllEffects() {
    if (const auto installed = installedEffects()) {
        logLine(kLogDebug, "[Ridova][DEBUG] turnOffAllEffects called");
        installed->turnOffAll();
    }
}

bool SeatController::setUdpEndpoint(const std::string& ip, int port) {
    std::lock_guard<std::mutex> lock(controllerMutex);
    const std::shared_ptr<UDPTransportLayer> target = installedTransport();
    if (!target) {
        logLine(kLogError, "[Ridova][ERROR] setUdpEndpoint called before UDP initialization");
        return false;
    }
    return target->setTarget(ip, port);
}

void SeatController::sendSeatPosture(float pitch, float roll, float yaw, float height) {
    const std::shared_ptr<UDPTransportLayer> target = installedTransport();
    if (!target) return;
    const std::int32_t type = seatType;
    if (!allFinite(pitch, roll, yaw, height)) {
        // A NaN would be limited to full deflection: with a rider on the seat, send nothing.
        logLine(kLogError,
                "[Ridova][ERROR] sendSeatPosture rejected non-finite input: pitch=%.2f, roll=%.2f, yaw=%.2f, "
                "height=%.2f",
                pitch, roll, yaw, height);
        return;
    }
    KinematicsTrace trace;
    const PulseTargets t = SeatAlgorithm::postureTargets(pitch, roll, yaw, height, type, &trace);
    target->sendAxes(t.x, t.y, t.z, t.u);
    // The lines follow the frame's hand-off, so that writing them never delays it.
    logLine(kLogDebug, "[Ridova][DEBUG] sendSeatPosture: pitch=%.2f, roll=%.2f, yaw=%.2f, height=%.2f, type=%d", pitch,
            roll, yaw, height, type);
    logKinematics(trace, type);
}

void SeatController::sendPostureCommand(float x, float y, float z, float angle) {
    const std::shared_ptr<UDPTransportLayer> target = installedTransport();
    if (!target) return;
    const std::int32_t type = seatType;
    if (!allFinite(x, y, z, angle)) {
        logLine(kLogError,
                "[Ridova][ERROR] sendPostureCommand rejected non-finite input: x=%.2f, y=%.2f, z=%.2f, angle=%.2f", x,
                y, z, angle);
        return;
    }
    KinematicsTrace trace;
    const PulseTargets t = SeatAlgorithm::commandTargets(x, y, z, angle, type, &trace);
    target->sendAxes(t.x, t.y, t.z, t.u);
    logLine(kLogDebug, "[Ridova][DEBUG] sendPostureCommand: x=%.2f, y=%.2f, z=%.2f, angle=%.2f, type=%d", x, y, z,
            angle, type);
    logKinematics(trace, type);
}

void SeatController::resetPosition() {
    const std::int32_t type = seatType;
    logLine(kLogDebug, "[Ridova][DEBUG] resetPosition called for type: %d", type);
    const std::shared_ptr<UDPTransportLayer> target = installedTransport();
    if (!target) return;
    const PulseTargets t = SeatAlgorithm::homeTargets(type);
    target->sendAxes(t.x, t.y, t.z, t.u);
}

void SeatController::release() {
    std::lock_guard<std::mutex> lock(controllerMutex);
    logLine(kLogInfo, "[Ridova][INFO] SeatController::release called");
    releaseEffects(); // the effects side always goes before the motion side
    if (std::shared_ptr<UDPTransportLayer> closing = uninstallTransport()) {
        closing->close();
        closing.reset(); // destroyed here, or by a posture call that still holds it
        logLine(kLogInfo, "[Ridova][INFO] UDPTransportLayer released");
    }
    logSink.flushRepeats(); // the host learns how often the last errors recurred
}

void SeatController::abandon() noexcept {
    abandoned = true;
    // Destroying either would join a thread that no longer runs and take locks
    // it may have held: both are left to the system with the rest of the process.
    static_cast<void>(std::make_unique<std::shared_ptr<UDPTransportLayer>>(std::move(transport)).release());
    static_cast<void>(std::make_unique<std::shared_ptr<EffectsController>>(std::move(effects)).release());
}

} // namespace karvel

using karvel::SeatController;

extern "C" {

bool Ridova_SetConfiguration(int seatType, const char* udpIp, int udpPort, int enableEffects, const char* relayIp,
                             int relayPort, const char* speedIp, int speedPort) {
    return karvel::guardedOutsideCallback("Ridova_SetConfiguration", false, [&] {
        SeatController& controller = SeatController::instance();
        const std::string ip = karvel::ownedText(udpIp);
        const karvel::EffectsEndpoints endpoints{karvel::ownedText(relayIp), relayPort, karvel::ownedText(speedIp),
                                                 speedPort};
        return controller.setConfiguration(seatType, ip, udpPort, enableEffects != 0, endpoints);
    });
}

bool Ridova_SetUdpEndpoint(const char* ip, int port) {
    return karvel::guardedOutsideCallback("Ridova_SetUdpEndpoint", false, [&] {
        SeatController& controller = SeatController::instance();
        if (karvel::refusedNull("Ridova_SetUdpEndpoint", "ip", ip)) return false;
        return controller.setUdpEndpoint(ip, port);
    });
}

void Ridova_Release(void) {
    karvel::guardedOutsideCallback("Ridova_Release", [] { SeatController::instance().release(); });
}

void Ridova_SendSeatPosture(float pitch, float roll, float yaw, float height) {
    karvel::guarded("Ridova_SendSeatPosture",
                    [&] { SeatController::instance().sendSeatPosture(pitch, roll, yaw, height); });
}

void Ridova_SendPostureCommand(float x, float y, float z, float angle) {
    karvel::guarded("Ridova_SendPostureCommand", [&] { SeatController::instance().sendPostureCommand(x, y, z, angle); });
}

void Ridova_ResetPosition(void) {
    karvel::guarded("Ridova_ResetPosition", [] { SeatController::instance().resetPosition(); });
}

const char* Ridova_GetVersion(void) {
    SeatController::instance();
    return SeatController::kVersion;
}

void Ridova_SetLogCallback(LogCallback callback) {
    karvel::guarded("Ridova_SetLogCallback", [&] { SeatController::instance().setLogCallback(callback); });
}

bool Ridova_SetEffectsEndpoints(const char* relayIp, int relayPort, const char* speedIp, int speedPort) {
    return karvel::guardedOutsideCallback("Ridova_SetEffectsEndpoints", false, [&] {
        SeatController& controller = SeatController::instance();
        if (karvel::refusedNull("Ridova_SetEffectsEndpoints", "relayIp", relayIp) ||
            karvel::refusedNull("Ridova_SetEffectsEndpoints", "speedIp", speedIp))
            return false;
        return controller.setEffectsEndpoints(relayIp, relayPort, speedIp, speedPort);
    });
}

void Ridova_SetWindSpeed(int level) {
    karvel::guarded("Ridova_SetWindSpeed", [&] { SeatController::instance().setWindSpeed(level); });
}

void Ridova_SetWaterMist(int level) {
    karvel::guarded("Ridova_SetWaterMist", [&] { SeatController::instance().setWaterMist(level); });
}

void Ridova_SetScent(int level) {
    karvel::guarded("Ridova_SetScent", [&] { SeatController::instance().setScent(level); });
}

void Ridova_SetHeater(int on) {
    karvel::guarded("Ridova_SetHeater", [&] { SeatController::instance().setHeater(on != 0); });
}

void Ridova_TurnOffAllEffects(void) {
    karvel::guarded("Ridova_TurnOffAllEffects", [] { SeatController::instance().turnOffAllEffects(); });
}

} // extern "C"
