// Windows Sockets 2 for the tools' servers.
#include "ServerSockets.h"

#include <winsock2.h>
#include <ws2tcpip.h>
#include <windows.h>

#include <cstring>

namespace karvel::net {
namespace {

SOCKET native(SocketHandle socket) { return static_cast<SOCKET>(socket); }

IoResult failure() {
    return {::WSAGetLastError() == WSAEWOULDBLOCK ? IoStatus::WouldBlock : IoStatus::Failed, 0};
}

} // namespace

bool bindTo(SocketHandle socket, const Ipv4Endpoint& local) {
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(local.port);
    std::memcpy(&address.sin_addr, local.octets, 4);
    return ::bind(native(socket), reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0;
}

// Windows would let another program bind the port on a more specific address.
void prepareListener(SocketHandle socket) {
    const BOOL exclusive = TRUE;
    ::setsockopt(native(socket), SOL_SOCKET, SO_EXCLUSIVEADDRUSE, reinterpret_cast<const char*>(&exclusive),
                 sizeof exclusive);
}

SocketHandle acceptWaiting(SocketHandle listener) {
    const SOCKET socket = ::accept(native(listener), nullptr, nullptr);
    if (socket == INVALID_SOCKET) return kInvalidSocket;
    ::SetHandleInformation(reinterpret_cast<HANDLE>(socket), HANDLE_FLAG_INHERIT, 0);
    // An accepted socket takes the listener's mode here; the callers choose their own.
    u_long blocking = 0;
    ::ioctlsocket(socket, FIONBIO, &blocking);
    return static_cast<SocketHandle>(socket);
}

void setNonBlocking(SocketHandle socket) {
    u_long nonBlocking = 1;
    ::ioctlsocket(native(socket), FIONBIO, &nonBlocking);
}

int waitForSockets(std::vector<WatchedSocket>& sockets, int timeoutMs) {
    std::vector<WSAPOLLFD> entries;
    entries.reserve(sockets.size());
    for (const WatchedSocket& s : sockets)
        entries.push_back(WSAPOLLFD{native(s.socket),
                                    static_cast<SHORT>((s.wantRead ? POLLRDNORM : 0) | (s.wantWrite ? POLLWRNORM : 0)),
                                    0});
    const int ready = ::WSAPoll(entries.data(), static_cast<ULONG>(entries.size()), timeoutMs);
    for (std::size_t i = 0; i < sockets.size(); ++i) {
        const SHORT events = ready > 0 ? entries[i].revents : 0;
        sockets[i].readable = (events & (POLLRDNORM | POLLHUP)) != 0;
        sockets[i].writable = (events & POLLWRNORM) != 0;
        sockets[i].failed = (events & (POLLERR | POLLNVAL)) != 0;
    }
    return ready;
}

IoResult readAvailable(SocketHandle socket, void* buffer, std::size_t size) {
    const int got = ::recv(native(socket), static_cast<char*>(buffer), static_cast<int>(size), 0);
    if (got > 0) return {IoStatus::Done, static_cast<std::size_t>(got)};
    if (got == 0) return {IoStatus::Closed, 0};
    return failure();
}

IoResult writeAvailable(SocketHandle socket, const void* data, std::size_t size) {
    const int sent = ::send(native(socket), static_cast<const char*>(data), static_cast<int>(size), 0);
    if (sent >= 0) return {IoStatus::Done, static_cast<std::size_t>(sent)};
    return failure();
}

void stopSending(SocketHandle socket) { ::shutdown(native(socket), SD_SEND); }

} // namespace karvel::net
