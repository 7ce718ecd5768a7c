// When a session of the virtual seat begins: a host after a quiet gap, a new
// sender, a reset by hand; a host that keeps its effects links open stays in
// its session however long it pauses.
#include <gtest/gtest.h>

#include "SessionClock.h"

namespace karvel::tools::test {
namespace {

using sim::SessionClock;
using namespace std::chrono_literals;

const net::Ipv4Endpoint kHost{{127, 0, 0, 1}, 8410};
const net::Ipv4Endpoint kOtherHost{{192, 168, 1, 20}, 8410};

TEST(SessionClock, AHostAfterAQuietGapStartsANewSession) {
    const SessionClock::Clock::time_point t0{};
    SessionClock clock(2s, t0);
    EXPECT_EQ(clock.datagram(kHost, t0 + 10s), 1u) << "the first activity belongs to the empty first session";
    EXPECT_EQ(clock.datagram(kHost, t0 + 11900ms), 1u) << "1.9 s apart: the same stream";
    EXPECT_EQ(clock.datagram(kHost, t0 + 14s), 2u) << "2.1 s of quiet: a new session";
    EXPECT_EQ(clock.current().cause, "a host after a pause");
    EXPECT_EQ(clock.current().started, t0 + 14s);
}

TEST(SessionClock, AConnectedModbusClientKeepsTheSessionThroughSilence) {
    const SessionClock::Clock::time_point t0{};
    SessionClock clock(2s, t0);
    clock.connected(t0 + 1s);
    EXPECT_EQ(clock.datagram(kHost, t0 + 2s), 1u);
    EXPECT_EQ(clock.datagram(kHost, t0 + 60s), 1u) << "a host idling with its effects links open";
    clock.disconnected(t0 + 61s);
    EXPECT_EQ(clock.datagram(kHost, t0 + 62s), 1u) << "the quiet counts from the last client's leaving";
    clock.disconnected(t0 + 62s); // one more than connected: ignored
    EXPECT_EQ(clock.connected(t0 + 65s), 2u) << "effects links opened after the gap";
}

TEST(SessionClock, FramesFromAnotherSenderOrAResetByHandStartOneToo) {
    const SessionClock::Clock::time_point t0{};
    SessionClock clock(2s, t0);
    clock.datagram(kHost, t0 + 1s);
    EXPECT_EQ(clock.datagram(kOtherHost, t0 + 1100ms), 2u);
    EXPECT_EQ(clock.current().cause, "frames from another sender, 192.168.1.20:8410");
    EXPECT_EQ(clock.datagram(kOtherHost, t0 + 1200ms), 2u);
    EXPECT_EQ(clock.restart(t0 + 1300ms), 3u);
    EXPECT_EQ(clock.current().cause, "reset");
    EXPECT_EQ(clock.datagram(kHost, t0 + 1400ms), 3u) << "the first sender of a fresh session is its own";
    EXPECT_EQ(clock.datagram(kHost, t0 + 10s), 4u);
    EXPECT_EQ(clock.datagram(kHost, t0 + 13s), 5u);
}

} // namespace
} // namespace karvel::tools::test
