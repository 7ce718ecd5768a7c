#include "FullBacklogListener.h"

#include "support/SocketLibrary.h"

namespace karvel::test {
namespace {

constexpr int kMaxFillers = 16;
constexpr int kProbeTimeoutMs = 300;

} // namespace

FullBacklogListener::FullBacklogListener() {
    useSocketLibrary();
    listener_ = net::openTcpSocket();
    if (listener_ == net::kInvalidSocket || !net::bindLoopback(listener_, 0) || !net::listenOn(listener_, 0)) return;
    port_ = net::localPort(listener_);
    net::Ipv4Endpoint endpoint{{127, 0, 0, 1}, static_cast<std::uint16_t>(port_)};
    // Connects that complete sit in the backlog; the first one that does not
    // shows it is full (the system then drops further connection requests).
    for (int i = 0; i < kMaxFillers && !full_; ++i) {
        const net::SocketHandle filler = net::openTcpSocket();
        if (filler == net::kInvalidSocket) return;
        fillers_.push_back(filler);
        full_ = !net::connectTo(filler, endpoint, kProbeTimeoutMs);
    }
}

FullBacklogListener::~FullBacklogListener() {
    for (net::SocketHandle filler : fillers_) net::closeSocket(filler);
    net::closeSocket(listener_);
}

} // namespace karvel::test
