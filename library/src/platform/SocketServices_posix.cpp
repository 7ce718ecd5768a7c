// POSIX sockets. Socket errors are errno values; interrupted calls are retried.
#include "platform/SocketServices.h"

#include <arpa/inet.h>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/time.h>
#include <unistd.h>

// The C++ runtime's exit-handler registration and this object's handle (Itanium C++ ABI).
extern "C" int __cxa_atexit(void (*function)(void*), void* argument, void* dsoHandle);
extern "C" void* __dso_handle;

namespace karvel::net {
namespace {

int native(SocketHandle socket) { return static_cast<int>(socket); }

SocketHandle wrap(int fd) { return fd < 0 ? kInvalidSocket : static_cast<SocketHandle>(fd); }

sockaddr_in toSockaddr(const Ipv4Endpoint& endpoint) {
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(endpoint.port);
    std::memcpy(&address.sin_addr, endpoint.octets, 4);
    return address;
}

Ipv4Endpoint fromSockaddr(const sockaddr_in& address) {
    Ipv4Endpoint endpoint;
    std::memcpy(endpoint.octets, &address.sin_addr, 4);
    endpoint.port = ntohs(address.sin_port);
    return endpoint;
}

bool bindTo(SocketHandle socket, std::uint32_t hostOrderAddress, std::uint16_t port) {
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(hostOrderAddress);
    address.sin_port = htons(port);
    return ::bind(native(socket), reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0;
}

void setTimeout(SocketHandle socket, int option, int milliseconds) {
    timeval value{};
    value.tv_sec = milliseconds / 1000;
    value.tv_usec = (milliseconds % 1000) * 1000;
    ::setsockopt(native(socket), SOL_SOCKET, option, &value, sizeof value);
}

// Waits for the given poll events; 1 ready, 0 time-out, -1 error.
int waitFor(SocketHandle socket, short events, int timeoutMs) {
    pollfd entry{native(socket), events, 0};
    int result;
    do {
        result = ::poll(&entry, 1, timeoutMs);
    } while (result < 0 && errno == EINTR);
    return result;
}

} // namespace

void startSocketLibrary() {}
void stopSocketLibrary() {}

LibraryHold::LibraryHold() = default;
LibraryHold::~LibraryHold() = default;

int lastSocketError() { return errno; }

bool parseIpv4(const char* text, std::uint8_t (&octets)[4]) {
    in_addr address{};
    if (text == nullptr || ::inet_pton(AF_INET, text, &address) != 1) return false;
    std::memcpy(octets, &address, 4);
    return true;
}

std::string formatIpv4(const std::uint8_t (&octets)[4]) {
    char text[22] = {};
    in_addr address{};
    std::memcpy(&address, octets, 4);
    ::inet_ntop(AF_INET, &address, text, sizeof text);
    return text;
}

// Close-on-exec: a program the host starts must not inherit port 8410 or a device connection.
SocketHandle openUdpSocket() { return wrap(::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, IPPROTO_UDP)); }
SocketHandle openTcpSocket() { return wrap(::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, IPPROTO_TCP)); }

void closeSocket(SocketHandle socket) {
    if (socket != kInvalidSocket) ::close(native(socket));
}

bool bindAnyAddress(SocketHandle socket, std::uint16_t port) { return bindTo(socket, INADDR_ANY, port); }
bool bindLoopback(SocketHandle socket, std::uint16_t port) { return bindTo(socket, INADDR_LOOPBACK, port); }

std::uint16_t localPort(SocketHandle socket) {
    sockaddr_in address{};
    socklen_t length = sizeof address;
    if (::getsockname(native(socket), reinterpret_cast<sockaddr*>(&address), &length) != 0) return 0;
    return ntohs(address.sin_port);
}

long sendTo(SocketHandle socket, const std::uint8_t* data, std::size_t size, const Ipv4Endpoint& to) {
    const sockaddr_in address = toSockaddr(to);
    ssize_t sent;
    do {
        sent = ::sendto(native(socket), data, size, MSG_NOSIGNAL, reinterpret_cast<const sockaddr*>(&address),
                        sizeof address);
    } while (sent < 0 && errno == EINTR);
    return static_cast<long>(sent);
}

long receiveFrom(SocketHandle socket, std::uint8_t* buffer, std::size_t size, int timeoutMs, Ipv4Endpoint* from) {
    const int ready = waitFor(socket, POLLIN, timeoutMs);
    if (ready <= 0) return ready;
    sockaddr_in address{};
    socklen_t length = sizeof address;
    ssize_t received;
    do {
        received = ::recvfrom(native(socket), buffer, size, 0, reinterpret_cast<sockaddr*>(&address), &length);
    } while (received < 0 && errno == EINTR);
    if (received >= 0 && from != nullptr) *from = fromSockaddr(address);
    return static_cast<long>(received);
}

void setReceiveBufferSize(SocketHandle socket, int bytes) {
    // Past the system's cap only with the privilege to force it; otherwise the cap applies.
    if (::setsockopt(native(socket), SOL_SOCKET, SO_RCVBUFFORCE, &bytes, sizeof bytes) != 0)
        ::setsockopt(native(socket), SOL_SOCKET, SO_RCVBUF, &bytes, sizeof bytes);
}

int waitReadable(SocketHandle socket, int timeoutMs) { return waitFor(socket, POLLIN, timeoutMs); }

void setReceiveTimeout(SocketHandle socket, int milliseconds) { setTimeout(socket, SO_RCVTIMEO, milliseconds); }
void setSendTimeout(SocketHandle socket, int milliseconds) { setTimeout(socket, SO_SNDTIMEO, milliseconds); }

bool connectTo(SocketHandle socket, const Ipv4Endpoint& to, int timeoutMs) {
    // Non-blocking connect bounded by poll, then back to blocking mode: the
    // system's own connect time-out is minutes, far too long for a caller
    // that holds a lock.
    const int fd = native(socket);
    const int flags = ::fcntl(fd, F_GETFL, 0);
    if (flags < 0 || ::fcntl(fd, F_SETFL, flags | O_NONBLOCK) < 0) return false;
    const sockaddr_in address = toSockaddr(to);
    int result = ::connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address);
    if (result != 0 && (errno == EINPROGRESS || errno == EINTR)) {
        const int ready = waitFor(socket, POLLOUT, timeoutMs);
        if (ready == 0) {
            errno = ETIMEDOUT;
        } else if (ready > 0) {
            int error = 0;
            socklen_t length = sizeof error;
            ::getsockopt(fd, SOL_SOCKET, SO_ERROR, &error, &length);
            errno = error;
            result = error == 0 ? 0 : -1;
        }
    }
    const int savedError = errno;
    ::fcntl(fd, F_SETFL, flags);
    errno = savedError;
    return result == 0;
}

bool sendAll(SocketHandle socket, const std::uint8_t* data, std::size_t size) {
    std::size_t done = 0;
    while (done < size) {
        const ssize_t sent = ::send(native(socket), data + done, size - done, MSG_NOSIGNAL);
        if (sent < 0 && errno == EINTR) continue;
        if (sent <= 0) return false;
        done += static_cast<std::size_t>(sent);
    }
    return true;
}

long receiveSome(SocketHandle socket, std::uint8_t* buffer, std::size_t size) {
    ssize_t received;
    do {
        received = ::recv(native(socket), buffer, size, 0);
    } while (received < 0 && errno == EINTR);
    return static_cast<long>(received);
}

bool listenOn(SocketHandle socket, int backlog) { return ::listen(native(socket), backlog) == 0; }

void allowListenerRebind(SocketHandle listener) {
    const int on = 1;
    ::setsockopt(native(listener), SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
}

void resetOnClose(SocketHandle socket) {
    const linger immediate{1, 0};
    ::setsockopt(native(socket), SOL_SOCKET, SO_LINGER, &immediate, sizeof immediate);
}

SocketHandle acceptConnection(SocketHandle listener, int timeoutMs) {
    if (waitFor(listener, POLLIN, timeoutMs) <= 0) return kInvalidSocket;
    int fd;
    do {
        fd = ::accept4(native(listener), nullptr, nullptr, SOCK_CLOEXEC);
    } while (fd < 0 && errno == EINTR);
    return wrap(fd);
}

void writeDebugOutput(const char* line) {
    // One write per line, so that lines of several threads never interleave.
    char buffer[1025];
    const std::size_t length = ::strnlen(line, 1023);
    std::memcpy(buffer, line, length);
    buffer[length] = '\n';
    ssize_t ignored;
    do {
        ignored = ::write(STDERR_FILENO, buffer, length + 1);
    } while (ignored < 0 && errno == EINTR);
}

void callAtExit(ExitHandler handler) {
    // Tied to this library (or program) by its handle, so that the handler also
    // runs, and is forgotten, when the library is unloaded. std::atexit is not
    // tied to it where a tool intercepts it (ThreadSanitizer does): the
    // handler would then run at the process's end in a library long unloaded.
    __cxa_atexit(handler, nullptr, &__dso_handle);
}

} // namespace karvel::net
