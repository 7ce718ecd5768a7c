#include "UdpReceiver.h"

#include <stdexcept>

#include "support/SocketLibrary.h"

namespace karvel::test {
namespace {

net::SocketHandle openTestSocket() {
    useSocketLibrary();
    return net::openUdpSocket();
}

} // namespace

UdpReceiver::UdpReceiver() : socket_(openTestSocket()) {
    if (socket_ == net::kInvalidSocket || !net::bindLoopback(socket_, 0))
        throw std::runtime_error("cannot open the test receiver");
    net::setReceiveBufferSize(socket_, 8 * 1024 * 1024);
    port_ = net::localPort(socket_);
}

UdpReceiver::~UdpReceiver() { net::closeSocket(socket_); }

std::optional<Datagram> UdpReceiver::receive(int timeoutMs) {
    Datagram datagram;
    datagram.bytes.resize(2048);
    const long size = net::receiveFrom(socket_, datagram.bytes.data(), datagram.bytes.size(), timeoutMs, &datagram.from);
    if (size <= 0) return std::nullopt;
    datagram.bytes.resize(static_cast<std::size_t>(size));
    return datagram;
}

std::vector<Datagram> UdpReceiver::receiveMany(std::size_t count, int timeoutMs) {
    std::vector<Datagram> result;
    while (result.size() < count) {
        std::optional<Datagram> datagram = receive(timeoutMs);
        if (!datagram) break;
        result.push_back(std::move(*datagram));
    }
    return result;
}

PortHolder::PortHolder(std::uint16_t port) : socket_(openTestSocket()) { bound_ = net::bindAnyAddress(socket_, port); }

PortHolder::~PortHolder() { net::closeSocket(socket_); }

std::vector<std::uint8_t> expectedFrame(std::int32_t x, std::int32_t y, std::int32_t z, std::int32_t u) {
    std::vector<std::uint8_t> frame = {0x55, 0xAA, 0x00, 0x00, 0x14, 0x01, 0x00, 0x01, 0xFF, 0xFF,
                                       0xFF, 0xFF, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x14};
    for (std::int32_t value : {x, y, z, u, 0, 0}) {
        const auto bits = static_cast<std::uint32_t>(value);
        for (int shift = 24; shift >= 0; shift -= 8) frame.push_back(static_cast<std::uint8_t>(bits >> shift));
    }
    for (std::uint8_t end : {0x12, 0x34, 0x56, 0x78, 0xAB, 0xCD}) frame.push_back(end);
    return frame;
}

} // namespace karvel::test
