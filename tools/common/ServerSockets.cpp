// What the tools' server sockets do the same way on every platform.
#include "ServerSockets.h"

namespace karvel::net {

namespace {
SocketHandle boundOrNothing(SocketHandle socket, bool bound) {
    if (bound) return socket;
    closeSocket(socket);
    return kInvalidSocket;
}
} // namespace

SocketHandle listenTcp(const Ipv4Endpoint& local, int backlog) {
    const SocketHandle socket = openTcpSocket();
    if (socket == kInvalidSocket) return socket;
    prepareListener(socket);
    return boundOrNothing(socket, bindTo(socket, local) && listenOn(socket, backlog));
}

SocketHandle bindUdp(const Ipv4Endpoint& local) {
    const SocketHandle socket = openUdpSocket();
    if (socket == kInvalidSocket) return socket;
    return boundOrNothing(socket, bindTo(socket, local));
}

} // namespace karvel::net
