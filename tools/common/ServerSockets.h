// What the tools' servers need beyond the library's socket layer: sockets
// bound to a chosen local address, many sockets watched at once, and reads and
// writes that never block. One implementation per platform (POSIX, Windows
// Sockets 2), on the library's socket handles.
#pragma once

#include <cstddef>
#include <vector>

#include "platform/SocketServices.h"

namespace karvel::net {

// A TCP listener on `local` (port 0: the system chooses), not inherited by
// child processes; on POSIX it may take a port whose old connections linger.
// kInvalidSocket when the address cannot be bound.
SocketHandle listenTcp(const Ipv4Endpoint& local, int backlog);
// A UDP socket bound to `local`; kInvalidSocket when it cannot be bound.
SocketHandle bindUdp(const Ipv4Endpoint& local);

// Binds to `local`; false when the address or port cannot be had.
bool bindTo(SocketHandle socket, const Ipv4Endpoint& local);
// Before a listener binds: on POSIX it may take a port whose old connections
// linger; on Windows no other program may bind the same port beside it.
void prepareListener(SocketHandle socket);

// A connection the listener has waiting, or kInvalidSocket when none is.
SocketHandle acceptWaiting(SocketHandle listener);

void setNonBlocking(SocketHandle socket);

struct WatchedSocket {
    SocketHandle socket = kInvalidSocket;
    bool wantRead = false, wantWrite = false;
    // Set by waitForSockets: data, a connection or the peer's close can be
    // read; bytes can be written; the connection failed.
    bool readable = false, writable = false, failed = false;
};
// Waits at most timeoutMs until one of the sockets is ready; how many are, 0 on time-out, -1 on error.
int waitForSockets(std::vector<WatchedSocket>& sockets, int timeoutMs);

enum class IoStatus { Done, WouldBlock, Closed, Failed };
struct IoResult {
    IoStatus status;
    std::size_t bytes; // moved when Done
};
// One read or write on a non-blocking socket. A read of Closed means the peer
// ended its side; a write never raises a signal when the peer is gone.
IoResult readAvailable(SocketHandle socket, void* buffer, std::size_t size);
IoResult writeAvailable(SocketHandle socket, const void* data, std::size_t size);

// Ends our side of the connection (the peer reads its end) while it may still send.
void stopSending(SocketHandle socket);

} // namespace karvel::net
