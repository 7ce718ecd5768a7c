// The process-wide seat controller behind the exported C functions: it owns
// the seat's UDP transport, turns postures into pulse targets and holds the
// log sink that every component reports through.
#pragma once

#include <cstdint>
#include <memory>
#include <mutex>
#include <string>

#include "EffectsController.h"
#include "LogSink.h"
#include "UDPTransportLayer.h"

namespace karvel {

class SeatController {
public:
    static constexpr const char* kVersion = "Karvel-PC v0.6.0";

    static SeatController& instance();

    SeatController(const SeatController&) = delete;
    SeatController& operator=(const SeatController&) = delete;

    bool setConfiguration(std::int32_t seatType, const std::string& udpIp, int udpPort, bool enableEffects,
                          const EffectsEndpoints& endpoints);
    bool setUdpEndpoint(const std::string& ip, int port);
    void sendSeatPosture(float pitch, float roll, float yaw, float height);
    void sendPostureCommand(float x, float y, float z, float angle);
    void resetPosition();
    void release();
    // For the process's end, when every other thread was stopped wherever it
    // was (perhaps holding this controller's lock or the host's log lock):
    // takes no lock, logs nothing, joins nothing, and makes the destructor do
    // nothing either. The system takes back the socket and the memory.
    void abandon() noexcept;

    bool setEffectsEndpoints(const std::string& relayIp, int relayPort, const std::string& speedIp, int speedPort);
    void setWindSpeed(int level);
    void setWaterMist(int level);
    void setScent(int level);
    void setHeater(bool on);
    void turnOffAllEffects();

    // Returns once no thread is still inside the callback it replaced (see LogSink).
    void setLogCallback(LogCallback target) { logSink.setCallback(target); }
    // At the library's unload, under the loader's lock: the host's callback is
    // never entered from there (it may wait for a lock the loader blocks), and
    // nothing is waited for.
    void closeLog() { logSink.close(std::chrono::milliseconds(0)); }
    LogSink& sink() { return logSink; }

private:
    SeatController();
    // Closes the log first: from here on (the library's unload or the
    // process's exit) the host's callback is never entered. Then releases
    // whatever the host left configured.
    ~SeatController();
    // Run by the exit handler that the log sink registers.
    static void closeLogAtExit(void*);

    void startEffects(bool enableEffects, const EffectsEndpoints& endpoints);
    void releaseEffects();
    // The installed effects controller, or none. Effect calls take no lock;
    // the atomic access keeps a stray overlap with configuration defined.
    std::shared_ptr<EffectsController> installedEffects() const { return std::atomic_load(&effects); }
    // The installed transport, or none. Posture calls take no lock either: the
    // reference they hold keeps a transport that a release or reconfiguration
    // closes meanwhile alive until their frame is queued (and then dropped).
    std::shared_ptr<UDPTransportLayer> installedTransport() const { return std::atomic_load(&transport); }
    std::shared_ptr<UDPTransportLayer> uninstallTransport() {
        return std::atomic_exchange(&transport, std::shared_ptr<UDPTransportLayer>());
    }

    // Written only by setConfiguration; read by posture calls, which the host
    // keeps apart from configuration. Atomic so that a stray overlap stays defined.
    std::atomic<std::int32_t> seatType{0};
    std::shared_ptr<UDPTransportLayer> transport;
    std::shared_ptr<EffectsController> effects;
    std::mutex controllerMutex;
    LogSink logSink{&closeLogAtExit};
    bool abandoned = false;
};

} // namespace karvel
