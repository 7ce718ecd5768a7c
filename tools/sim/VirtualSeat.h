// The virtual seat: the motion controller, the relay board and the fan speed
// controller on one local address, with one version counter that every change
// bumps, so that watchers wait for changes instead of polling.
#pragma once

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>

#include "ModbusDevice.h"
#include "MotionEndpoint.h"
#include "SessionClock.h"
#include "SimState.h"

namespace karvel::sim {

struct SeatOptions {
    const KarvelSeat::SeatModel* model = &KarvelSeat::TamselSeat;
    net::Ipv4Endpoint address{{127, 0, 0, 1}, 0}; // the devices' address (0.0.0.0: all); its port is unused
    std::uint16_t motionPort = 7408; // 0: the system chooses (also below)
    std::uint16_t relayPort = 8234;
    std::uint16_t speedPort = 8235;
    AxisRates maxRates = presetRateLimits(); // frames moving faster are flagged
    std::chrono::milliseconds sessionGap = SessionClock::kDefaultQuietGap;
};

class VirtualSeat {
public:
    static constexpr DeviceMap kRelayBoardMap{16, 0};       // coils 0..15
    static constexpr DeviceMap kSpeedControllerMap{0, 8};   // holding registers 0..7, speed in 3

    // Throws std::runtime_error when a port cannot be opened.
    explicit VirtualSeat(const SeatOptions& options);
    VirtualSeat(const VirtualSeat&) = delete;
    VirtualSeat& operator=(const VirtualSeat&) = delete;

    const net::Ipv4Endpoint& address() const { return address_; }
    Ports ports() const;
    SimSnapshot snapshot() const;
    // Waits until the version differs from `seen` or the time is up; returns the version then.
    std::uint64_t waitForChange(std::uint64_t seen, std::chrono::milliseconds timeout) const;
    // Waits until `condition` holds for a snapshot; the last snapshot either way.
    template <typename Condition>
    SimSnapshot waitFor(Condition condition, std::chrono::milliseconds timeout) const;

    void setHttpPort(int port);
    // Starts a new session by hand; its number.
    std::uint64_t restartSession();

private:
    void changed();

    const KarvelSeat::SeatModel& model_;
    const net::Ipv4Endpoint address_;
    mutable std::mutex versionMutex_;
    mutable std::condition_variable versionChanged_;
    std::uint64_t version_ = 0;
    int httpPort_ = 0;
    SessionClock sessions_; // outlives the devices, which report to it

    // Declared last, so destroyed (their threads stopped) first: the threads call changed().
    std::unique_ptr<MotionEndpoint> motion_;
    std::unique_ptr<ModbusDevice> relay_;
    std::unique_ptr<ModbusDevice> speed_;
};

template <typename Condition>
SimSnapshot VirtualSeat::waitFor(Condition condition, std::chrono::milliseconds timeout) const {
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    SimSnapshot current = snapshot();
    while (!condition(current)) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0) break;
        waitForChange(current.version, left);
        current = snapshot();
    }
    return current;
}

} // namespace karvel::sim
