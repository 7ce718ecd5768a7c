// The library's one door to the operating system: sockets, the debugger
// output, the process-wide start and clean-up of the socket library and the
// hold that keeps the library loaded while its threads run.
// One implementation per platform (POSIX, Windows Sockets 2); nothing else in
// the library includes a platform header.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace karvel::net {

// Native socket handle widened to one type; all bits set means "no socket".
using SocketHandle = std::uintptr_t;
inline constexpr SocketHandle kInvalidSocket = ~SocketHandle{0};

// An IPv4 endpoint in host terms: address octets in text order, port as a number.
struct Ipv4Endpoint {
    std::uint8_t octets[4] = {0, 0, 0, 0};
    std::uint16_t port = 0;
};

// Once per process, when the library is loaded and unloaded. Hosts and tests
// that open sockets of their own start it for themselves too: the library's
// clean-up at unload would otherwise close their sockets.
void startSocketLibrary();
void stopSocketLibrary();

// Keeps the library loaded while it lives; whatever owns a running thread of
// the library holds one until that thread is joined. On Windows a thread
// cannot end while the loader runs the library's detach hook, so unloading
// must never find a thread to join there. Elsewhere it holds nothing:
// unloading runs the static destructors, which join.
class LibraryHold {
public:
    LibraryHold();
    ~LibraryHold();
    LibraryHold(const LibraryHold&) = delete;
    LibraryHold& operator=(const LibraryHold&) = delete;

private:
    [[maybe_unused]] void* module_ = nullptr; // unused where nothing needs holding
};

// The error code of the last failing socket call on this thread
// (WSAGetLastError on Windows, errno elsewhere).
int lastSocketError();

// Strict dotted-quad IPv4 text (the platform's inet_pton); no host names.
bool parseIpv4(const char* text, std::uint8_t (&octets)[4]);
std::string formatIpv4(const std::uint8_t (&octets)[4]);

SocketHandle openUdpSocket();
SocketHandle openTcpSocket();
void closeSocket(SocketHandle socket);

// Binds to the wildcard address (0.0.0.0) and the given local port; no address reuse.
bool bindAnyAddress(SocketHandle socket, std::uint16_t port);
// Binds to 127.0.0.1 and the given port (0: the system chooses); used by test peers and tools.
bool bindLoopback(SocketHandle socket, std::uint16_t port);
// The local port a socket is bound to, 0 on failure.
std::uint16_t localPort(SocketHandle socket);

// One datagram; returns the byte count sent or -1.
long sendTo(SocketHandle socket, const std::uint8_t* data, std::size_t size, const Ipv4Endpoint& to);
// One datagram, waiting at most timeoutMs; returns the byte count, 0 on time-out, -1 on error.
long receiveFrom(SocketHandle socket, std::uint8_t* buffer, std::size_t size, int timeoutMs, Ipv4Endpoint* from);

// Asks for a large receive buffer (test peers and tools that must not drop a burst).
void setReceiveBufferSize(SocketHandle socket, int bytes);

// Waits until the socket can be read (data, a connection or the peer's close):
// 1 ready, 0 time-out, -1 error.
int waitReadable(SocketHandle socket, int timeoutMs);

// Stream sockets.
void setReceiveTimeout(SocketHandle socket, int milliseconds);
void setSendTimeout(SocketHandle socket, int milliseconds);
// Blocking connect bounded by timeoutMs; on failure lastSocketError() tells why.
bool connectTo(SocketHandle socket, const Ipv4Endpoint& to, int timeoutMs);
// Sends the whole buffer (short sends are continued); false on error or time-out.
bool sendAll(SocketHandle socket, const std::uint8_t* data, std::size_t size);
// One receive; returns the byte count, 0 when the peer closed, -1 on error or time-out.
long receiveSome(SocketHandle socket, std::uint8_t* buffer, std::size_t size);
bool listenOn(SocketHandle socket, int backlog);
// Lets a test device listen again on the port it had while its old
// connections linger (TIME_WAIT). Never used for port 8410.
void allowListenerRebind(SocketHandle listener);
// Makes the next close reset the connection (RST) instead of ending it in order.
void resetOnClose(SocketHandle socket);
// Waits at most timeoutMs for a connection; kInvalidSocket on time-out or error.
SocketHandle acceptConnection(SocketHandle listener, int timeoutMs);

// Where log lines go when the host registered no callback.
void writeDebugOutput(const char* line);

// Runs `handler` (with a null argument) when the process begins to exit, or
// when the library is unloaded, before the static objects made before this
// call are destroyed. On Windows it does nothing: a handler of the library's
// would run at its detach, after the host's own static objects were
// destroyed, and the detach closes the log itself.
using ExitHandler = void (*)(void*);
void callAtExit(ExitHandler handler);

} // namespace karvel::net
