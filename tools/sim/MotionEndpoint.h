// The motion controller stand-in: a UDP socket whose thread decodes every
// datagram, counts the malformed ones and keeps the latest posture with its
// inverse kinematics.
#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>
#include <deque>
#include <functional>
#include <mutex>
#include <thread>

#include "SessionClock.h"
#include "SimState.h"
#include "platform/SocketServices.h"

namespace karvel::sim {

class MotionEndpoint {
public:
    // Port 0 in `local` lets the system choose. Throws std::runtime_error when it cannot be bound.
    // `maxRates`: the velocities beyond which a frame is flagged.
    MotionEndpoint(const KarvelSeat::SeatModel& model, const net::Ipv4Endpoint& local, const AxisRates& maxRates,
                   SessionClock& sessions, std::function<void()> onChange);
    ~MotionEndpoint();
    MotionEndpoint(const MotionEndpoint&) = delete;
    MotionEndpoint& operator=(const MotionEndpoint&) = delete;

    int port() const { return port_; }
    MotionState state() const;

private:
    void receiveLoop();
    void accept(const std::uint8_t* data, std::size_t size, const net::Ipv4Endpoint& sender);
    void countFor(std::uint64_t session) const; // with mutex_ held: a new session's counters start at zero
    void forgetOldFrames() const;               // with mutex_ held

    const KarvelSeat::SeatModel& model_;
    SessionClock& sessions_;
    std::function<void()> onChange_;
    net::SocketHandle socket_ = net::kInvalidSocket;
    int port_ = 0;

    mutable std::mutex mutex_;
    mutable MotionState state_;
    mutable RateWatch rates_;
    mutable std::uint64_t session_ = 0;
    mutable std::deque<std::chrono::steady_clock::time_point> recent_; // good frames of the last second

    std::atomic<bool> running_{true};
    std::thread thread_;
};

} // namespace karvel::sim
