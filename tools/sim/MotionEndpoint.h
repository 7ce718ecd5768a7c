// The motion controller stand-in: a UDP socket on 127.0.0.1 whose thread
// decodes every datagram, counts the malformed ones and keeps the latest
// posture with its inverse kinematics.
#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>
#include <deque>
#include <functional>
#include <mutex>
#include <thread>

#include "SimState.h"
#include "platform/SocketServices.h"

namespace karvel::sim {

class MotionEndpoint {
public:
    // Port 0 lets the system choose. Throws std::runtime_error when the port cannot be bound.
    // `maxRates`: the velocities beyond which a frame is flagged.
    MotionEndpoint(const KarvelSeat::SeatModel& model, std::uint16_t port, const AxisRates& maxRates,
                   std::function<void()> onChange);
    ~MotionEndpoint();
    MotionEndpoint(const MotionEndpoint&) = delete;
    MotionEndpoint& operator=(const MotionEndpoint&) = delete;

    int port() const { return port_; }
    MotionState state() const;

private:
    void receiveLoop();
    void accept(const std::uint8_t* data, std::size_t size);
    void forgetOldFrames() const; // with mutex_ held

    const KarvelSeat::SeatModel& model_;
    std::function<void()> onChange_;
    net::SocketHandle socket_ = net::kInvalidSocket;
    int port_ = 0;

    mutable std::mutex mutex_;
    MotionState state_;
    RateWatch rates_;
    mutable std::deque<std::chrono::steady_clock::time_point> recent_; // good frames of the last second

    std::atomic<bool> running_{true};
    std::thread thread_;
};

} // namespace karvel::sim
