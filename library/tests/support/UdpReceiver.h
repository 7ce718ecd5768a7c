// Test sockets: a motion controller stand-in (a UDP socket on 127.0.0.1 with a
// port chosen by the system) and a holder of a fixed port.
#pragma once

#include <cstdint>
#include <optional>
#include <vector>

#include "platform/SocketServices.h"

namespace karvel::test {

struct Datagram {
    std::vector<std::uint8_t> bytes;
    net::Ipv4Endpoint from;
};

class UdpReceiver {
public:
    UdpReceiver();
    ~UdpReceiver();
    UdpReceiver(const UdpReceiver&) = delete;
    UdpReceiver& operator=(const UdpReceiver&) = delete;

    int port() const { return port_; }
    std::optional<Datagram> receive(int timeoutMs = 5000);
    // Receives `count` datagrams, each within the time-out; fewer when one does not come.
    std::vector<Datagram> receiveMany(std::size_t count, int timeoutMs = 5000);

private:
    net::SocketHandle socket_;
    int port_ = 0;
};

// Holds a UDP port on the wildcard address, as another program would.
class PortHolder {
public:
    explicit PortHolder(std::uint16_t port);
    ~PortHolder();
    PortHolder(const PortHolder&) = delete;
    PortHolder& operator=(const PortHolder&) = delete;
    bool bound() const { return bound_; }

private:
    net::SocketHandle socket_;
    bool bound_ = false;
};

// The 50-byte motion frame written out byte by byte, as the motion controller expects it.
std::vector<std::uint8_t> expectedFrame(std::int32_t x, std::int32_t y, std::int32_t z, std::int32_t u);

} // namespace karvel::test
