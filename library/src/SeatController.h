// The process-wide seat controller behind the exported C functions: it owns
// the seat's UDP transport, turns postures into pulse targets and holds the
// log sink that every component reports through.
#pragma once

#include <cstdint>
#include <memory>
#include <mutex>
#include <string>

#include "LogSink.h"
#include "UDPTransportLayer.h"

namespace karvel {

class SeatController {
public:
    static constexpr const char* kVersion = "Karvel-PC v0.6.0";

    static SeatController& instance();

    SeatController(const SeatController&) = delete;
    SeatController& operator=(const SeatController&) = delete;

    bool setConfiguration(std::int32_t seatType, const std::string& udpIp, int udpPort, bool enableEffects);
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

    void setLogCallback(LogCallback target) { logSink.setCallback(target); }
    const LogSink& sink() const { return logSink; }

private:
    SeatController() = default;
    ~SeatController();

    // Written only by setConfiguration; read by posture calls, which the host
    // keeps apart from configuration. Atomic so that a stray overlap stays defined.
    std::atomic<std::int32_t> seatType{0};
    std::unique_ptr<UDPTransportLayer> transport;
    std::mutex controllerMutex;
    LogSink logSink;
    bool abandoned = false;
};

} // namespace karvel
