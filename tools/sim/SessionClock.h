// Which session the virtual seat is in. A session is one host's run against
// the seat: the counters, flags and peak rates shown are those of the current
// session, while the posture and the device outputs stay as the devices hold
// them. A new session starts
//   - with the first motion datagram or Modbus connection after the seat has
//     been quiet for the quiet gap: no datagram and no Modbus client connected;
//   - with a motion datagram from another sender (address and port) than the
//     session's frames came from;
//   - by hand (the live view's reset).
// A session that has seen nothing yet is not replaced by the first activity.
#pragma once

#include <chrono>
#include <cstdint>
#include <mutex>
#include <optional>
#include <string>

#include "platform/SocketServices.h"

namespace karvel::sim {

class SessionClock {
public:
    using Clock = std::chrono::steady_clock;
    static constexpr std::chrono::milliseconds kDefaultQuietGap{2000};

    struct Session {
        std::uint64_t number = 1;
        Clock::time_point started;
        std::string cause;
    };

    explicit SessionClock(Clock::duration quietGap, Clock::time_point now = Clock::now());

    // Each returns the number of the session the event belongs to.
    std::uint64_t datagram(const net::Ipv4Endpoint& sender, Clock::time_point now);
    std::uint64_t connected(Clock::time_point now);
    void disconnected(Clock::time_point now);
    std::uint64_t restart(Clock::time_point now);

    Session current() const;
    std::uint64_t number() const;

private:
    void beginIfQuiet(Clock::time_point now); // with mutex_ held
    void begin(Clock::time_point now, std::string cause);

    const Clock::duration quietGap_;
    mutable std::mutex mutex_;
    Session session_;
    bool active_ = false; // something happened in this session
    int clients_ = 0;
    Clock::time_point lastActivity_;
    std::optional<net::Ipv4Endpoint> sender_;
};

} // namespace karvel::sim
