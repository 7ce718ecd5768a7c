// Carries motion frames to the seat's motion controller: one UDP socket bound
// to the fixed local port 8410, a short queue of postures' axis targets and
// one worker thread that builds their frames and sends them in call order.
// Nothing is ever read back.
//
// A stale posture is worse than a dropped one: when the worker falls behind
// (a slow log callback, a stalled socket, a caller faster than the network),
// the queue keeps only the newest AxisTargetQueue::kCapacity. The oldest are
// dropped, counted and reported by the worker at most once a second.
#pragma once

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <string>
#include <vector>

#include "AxisTargetQueue.h"
#include "LibraryThread.h"
#include "platform/SocketServices.h"

namespace karvel {

using Frame = std::vector<std::uint8_t>;

class UDPTransportLayer {
public:
    static constexpr std::uint16_t kFixedSourcePort = 8410;
    static constexpr std::size_t kFrameSize = 50;

    UDPTransportLayer() = default;
    ~UDPTransportLayer();
    UDPTransportLayer(const UDPTransportLayer&) = delete;
    UDPTransportLayer& operator=(const UDPTransportLayer&) = delete;

    bool initialize(const std::string& ip, int port);
    bool setTarget(const std::string& ip, int port);
    void sendAxes(std::int32_t x, std::int32_t y, std::int32_t z, std::int32_t u);
    void close();

    // The 50-byte frame for four axis targets (play time 20, V and W zero).
    static Frame buildFrame(std::int32_t x, std::int32_t y, std::int32_t z, std::int32_t u);
    // Two upper-case hexadecimal digits per byte, one blank between bytes.
    static std::string toHex(const std::vector<std::uint8_t>& bytes);
    // A big-endian 32-bit field of a frame.
    static std::int32_t readField(const Frame& frame, std::size_t offset);

private:
    void workerLoop();
    void sendFrame(const Frame& frame, const net::Ipv4Endpoint& destination, std::uint64_t& successCount,
                   std::int64_t& lastSuccessLineNs);
    void reportDropped(std::uint64_t count, std::uint64_t total);

    net::SocketHandle transportSocket = net::kInvalidSocket;
    net::Ipv4Endpoint target{};
    std::mutex targetMutex;
    std::atomic<bool> initialized{false};
    LibraryThread worker;
    std::mutex queueMutex;
    std::condition_variable queueCondition;
    AxisTargetQueue sendQueue; // the worker builds each frame
    std::atomic<bool> running{false};
};

} // namespace karvel
