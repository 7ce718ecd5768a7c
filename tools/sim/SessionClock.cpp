#include "SessionClock.h"

#include <cstring>

namespace karvel::sim {

namespace {
bool sameEndpoint(const net::Ipv4Endpoint& a, const net::Ipv4Endpoint& b) {
    return a.port == b.port && std::memcmp(a.octets, b.octets, sizeof a.octets) == 0;
}
} // namespace

SessionClock::SessionClock(Clock::duration quietGap, Clock::time_point now)
    : quietGap_(quietGap), lastActivity_(now) {
    session_.started = now;
    session_.cause = "virtual seat started";
}

void SessionClock::begin(Clock::time_point now, std::string cause) {
    ++session_.number;
    session_.started = now;
    session_.cause = std::move(cause);
    active_ = false;
    sender_.reset();
}

void SessionClock::beginIfQuiet(Clock::time_point now) {
    if (active_ && clients_ == 0 && now - lastActivity_ >= quietGap_) begin(now, "a host after a pause");
}

std::uint64_t SessionClock::datagram(const net::Ipv4Endpoint& sender, Clock::time_point now) {
    std::lock_guard<std::mutex> lock(mutex_);
    beginIfQuiet(now);
    if (sender_ && !sameEndpoint(*sender_, sender))
        begin(now, "frames from another sender, " + net::formatIpv4(sender.octets) + ":" + std::to_string(sender.port));
    sender_ = sender;
    active_ = true;
    lastActivity_ = now;
    return session_.number;
}

std::uint64_t SessionClock::connected(Clock::time_point now) {
    std::lock_guard<std::mutex> lock(mutex_);
    beginIfQuiet(now);
    ++clients_;
    active_ = true;
    lastActivity_ = now;
    return session_.number;
}

void SessionClock::disconnected(Clock::time_point now) {
    std::lock_guard<std::mutex> lock(mutex_);
    if (clients_ > 0) --clients_;
    lastActivity_ = now; // the quiet begins when the last client leaves
}

std::uint64_t SessionClock::restart(Clock::time_point now) {
    std::lock_guard<std::mutex> lock(mutex_);
    begin(now, "reset");
    return session_.number;
}

SessionClock::Session SessionClock::current() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return session_;
}

std::uint64_t SessionClock::number() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return session_.number;
}

} // namespace karvel::sim
