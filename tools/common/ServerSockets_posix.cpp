// POSIX sockets for the tools' servers.
#include "ServerSockets.h"

#include <arpa/inet.h>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>

namespace karvel::net {
namespace {

int native(SocketHandle socket) { return static_cast<int>(socket); }

IoResult failure(bool wouldBlock) { return {wouldBlock ? IoStatus::WouldBlock : IoStatus::Failed, 0}; }

} // namespace

bool bindTo(SocketHandle socket, const Ipv4Endpoint& local) {
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(local.port);
    std::memcpy(&address.sin_addr, local.octets, 4);
    return ::bind(native(socket), reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0;
}

void prepareListener(SocketHandle socket) { allowListenerRebind(socket); }

SocketHandle acceptWaiting(SocketHandle listener) {
    int fd;
    do {
        fd = ::accept4(native(listener), nullptr, nullptr, SOCK_CLOEXEC);
    } while (fd < 0 && errno == EINTR);
    return fd < 0 ? kInvalidSocket : static_cast<SocketHandle>(fd);
}

void setNonBlocking(SocketHandle socket) {
    const int flags = ::fcntl(native(socket), F_GETFL, 0);
    if (flags >= 0) ::fcntl(native(socket), F_SETFL, flags | O_NONBLOCK);
}

int waitForSockets(std::vector<WatchedSocket>& sockets, int timeoutMs) {
    std::vector<pollfd> entries;
    entries.reserve(sockets.size());
    for (const WatchedSocket& s : sockets)
        entries.push_back(pollfd{native(s.socket),
                                 static_cast<short>((s.wantRead ? POLLIN : 0) | (s.wantWrite ? POLLOUT : 0)), 0});
    int ready;
    do {
        ready = ::poll(entries.data(), entries.size(), timeoutMs);
    } while (ready < 0 && errno == EINTR);
    for (std::size_t i = 0; i < sockets.size(); ++i) {
        const short events = ready > 0 ? entries[i].revents : 0;
        // A hang-up is read as the end of the stream; an error as a failure.
        sockets[i].readable = (events & (POLLIN | POLLHUP)) != 0;
        sockets[i].writable = (events & POLLOUT) != 0;
        sockets[i].failed = (events & (POLLERR | POLLNVAL)) != 0;
    }
    return ready;
}

IoResult readAvailable(SocketHandle socket, void* buffer, std::size_t size) {
    ssize_t got;
    do {
        got = ::recv(native(socket), buffer, size, 0);
    } while (got < 0 && errno == EINTR);
    if (got > 0) return {IoStatus::Done, static_cast<std::size_t>(got)};
    if (got == 0) return {IoStatus::Closed, 0};
    return failure(errno == EAGAIN || errno == EWOULDBLOCK);
}

IoResult writeAvailable(SocketHandle socket, const void* data, std::size_t size) {
    ssize_t sent;
    do {
        sent = ::send(native(socket), data, size, MSG_NOSIGNAL);
    } while (sent < 0 && errno == EINTR);
    if (sent >= 0) return {IoStatus::Done, static_cast<std::size_t>(sent)};
    return failure(errno == EAGAIN || errno == EWOULDBLOCK);
}

void stopSending(SocketHandle socket) { ::shutdown(native(socket), SHUT_WR); }

} // namespace karvel::net
