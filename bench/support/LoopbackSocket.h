// A UDP socket bound to 127.0.0.1 on a port the system chooses; closed on destruction.
#pragma once

#include <stdexcept>

#include "platform/SocketServices.h"

namespace karvel::bench {

class LoopbackSocket {
public:
    LoopbackSocket() : handle_(net::openUdpSocket()) {
        if (handle_ == net::kInvalidSocket || !net::bindLoopback(handle_, 0)) {
            net::closeSocket(handle_);
            throw std::runtime_error("cannot bind a loopback UDP socket");
        }
        net::setReceiveBufferSize(handle_, 8 * 1024 * 1024);
        port_ = net::localPort(handle_);
    }
    ~LoopbackSocket() { net::closeSocket(handle_); }
    LoopbackSocket(const LoopbackSocket&) = delete;
    LoopbackSocket& operator=(const LoopbackSocket&) = delete;

    net::SocketHandle handle() const { return handle_; }
    int port() const { return port_; }
    net::Ipv4Endpoint endpoint() const {
        net::Ipv4Endpoint to;
        to.octets[0] = 127;
        to.octets[3] = 1;
        to.port = static_cast<std::uint16_t>(port_);
        return to;
    }

private:
    net::SocketHandle handle_;
    int port_ = 0;
};

} // namespace karvel::bench
