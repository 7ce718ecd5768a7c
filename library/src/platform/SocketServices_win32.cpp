// Windows Sockets 2. Socket errors are WSAGetLastError values.
#include "platform/SocketServices.h"

#include <winsock2.h>
#include <ws2tcpip.h>
#include <windows.h>

#include <cstring>

namespace karvel::net {
namespace {

SOCKET native(SocketHandle socket) { return static_cast<SOCKET>(socket); }

SocketHandle wrap(SOCKET socket) {
    return socket == INVALID_SOCKET ? kInvalidSocket : static_cast<SocketHandle>(socket);
}

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

bool bindTo(SocketHandle socket, u_long hostOrderAddress, std::uint16_t port) {
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(hostOrderAddress);
    address.sin_port = htons(port);
    return ::bind(native(socket), reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0;
}

void setTimeout(SocketHandle socket, int option, int milliseconds) {
    const DWORD value = static_cast<DWORD>(milliseconds);
    ::setsockopt(native(socket), SOL_SOCKET, option, reinterpret_cast<const char*>(&value), sizeof value);
}

// Waits for the given poll events; 1 ready, 0 time-out, -1 error.
int waitFor(SocketHandle socket, short events, int timeoutMs) {
    WSAPOLLFD entry{native(socket), events, 0};
    return ::WSAPoll(&entry, 1, timeoutMs);
}

SocketHandle notInherited(SOCKET socket) {
    if (socket != INVALID_SOCKET)
        ::SetHandleInformation(reinterpret_cast<HANDLE>(socket), HANDLE_FLAG_INHERIT, 0);
    return wrap(socket);
}

SocketHandle openSocket(int type, int protocol) {
    SOCKET socket = ::WSASocketW(AF_INET, type, protocol, nullptr, 0, WSA_FLAG_OVERLAPPED | WSA_FLAG_NO_HANDLE_INHERIT);
    // Systems before Windows 7 SP1 do not know the flag; the handle flag below does the same there.
    if (socket == INVALID_SOCKET) socket = ::WSASocketW(AF_INET, type, protocol, nullptr, 0, WSA_FLAG_OVERLAPPED);
    return notInherited(socket);
}

bool setBlocking(SocketHandle socket, bool blocking) {
    u_long nonBlocking = blocking ? 0 : 1;
    return ::ioctlsocket(native(socket), FIONBIO, &nonBlocking) == 0;
}

} // namespace

void startSocketLibrary() {
    WSADATA data;
    ::WSAStartup(MAKEWORD(2, 2), &data);
}

void stopSocketLibrary() { ::WSACleanup(); }

LibraryHold::LibraryHold() {
    // A reference of our own on the module that contains this code.
    HMODULE module = nullptr;
    if (::GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS, reinterpret_cast<LPCWSTR>(&startSocketLibrary),
                             &module))
        module_ = module;
}

// Never the last reference: the thread's owner is released through an export,
// so the host holds the library while this runs (or the process is ending and
// nothing is destroyed at all).
LibraryHold::~LibraryHold() {
    if (module_ != nullptr) ::FreeLibrary(static_cast<HMODULE>(module_));
}

int lastSocketError() { return ::WSAGetLastError(); }

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

// Not inheritable: a program the host starts with handle inheritance must not
// keep port 8410 or a device connection open after the library let them go.
SocketHandle openUdpSocket() { return openSocket(SOCK_DGRAM, IPPROTO_UDP); }
SocketHandle openTcpSocket() { return openSocket(SOCK_STREAM, IPPROTO_TCP); }

void closeSocket(SocketHandle socket) {
    if (socket != kInvalidSocket) ::closesocket(native(socket));
}

bool bindAnyAddress(SocketHandle socket, std::uint16_t port) { return bindTo(socket, INADDR_ANY, port); }
bool bindLoopback(SocketHandle socket, std::uint16_t port) { return bindTo(socket, INADDR_LOOPBACK, port); }

std::uint16_t localPort(SocketHandle socket) {
    sockaddr_in address{};
    int length = sizeof address;
    if (::getsockname(native(socket), reinterpret_cast<sockaddr*>(&address), &length) != 0) return 0;
    return ntohs(address.sin_port);
}

long sendTo(SocketHandle socket, const std::uint8_t* data, std::size_t size, const Ipv4Endpoint& to) {
    const sockaddr_in address = toSockaddr(to);
    return ::sendto(native(socket), reinterpret_cast<const char*>(data), static_cast<int>(size), 0,
                    reinterpret_cast<const sockaddr*>(&address), sizeof address);
}

long receiveFrom(SocketHandle socket, std::uint8_t* buffer, std::size_t size, int timeoutMs, Ipv4Endpoint* from) {
    const int ready = waitFor(socket, POLLRDNORM, timeoutMs);
    if (ready <= 0) return ready;
    sockaddr_in address{};
    int length = sizeof address;
    const int received = ::recvfrom(native(socket), reinterpret_cast<char*>(buffer), static_cast<int>(size), 0,
                                    reinterpret_cast<sockaddr*>(&address), &length);
    if (received >= 0 && from != nullptr) *from = fromSockaddr(address);
    return received;
}

void setReceiveBufferSize(SocketHandle socket, int bytes) {
    ::setsockopt(native(socket), SOL_SOCKET, SO_RCVBUF, reinterpret_cast<const char*>(&bytes), sizeof bytes);
}

int waitReadable(SocketHandle socket, int timeoutMs) { return waitFor(socket, POLLRDNORM, timeoutMs); }

void setReceiveTimeout(SocketHandle socket, int milliseconds) { setTimeout(socket, SO_RCVTIMEO, milliseconds); }
void setSendTimeout(SocketHandle socket, int milliseconds) { setTimeout(socket, SO_SNDTIMEO, milliseconds); }

bool connectTo(SocketHandle socket, const Ipv4Endpoint& to, int timeoutMs) {
    if (!setBlocking(socket, false)) return false;
    const sockaddr_in address = toSockaddr(to);
    int result = ::connect(native(socket), reinterpret_cast<const sockaddr*>(&address), sizeof address);
    int error = result == 0 ? 0 : ::WSAGetLastError();
    if (result != 0 && error == WSAEWOULDBLOCK) {
        // A refused connect shows as an error event (with a retry pause of the
        // stack's own); a time-out as nothing at all.
        WSAPOLLFD entry{native(socket), POLLWRNORM, 0};
        const int ready = ::WSAPoll(&entry, 1, timeoutMs);
        if (ready == 0) {
            error = WSAETIMEDOUT;
        } else if (ready > 0) {
            int soError = 0;
            int length = sizeof soError;
            ::getsockopt(native(socket), SOL_SOCKET, SO_ERROR, reinterpret_cast<char*>(&soError), &length);
            error = soError;
            if ((entry.revents & (POLLERR | POLLHUP)) != 0 && error == 0) error = WSAECONNREFUSED;
            result = error == 0 ? 0 : -1;
        } else {
            error = ::WSAGetLastError();
        }
    }
    setBlocking(socket, true);
    ::WSASetLastError(error);
    return result == 0;
}

bool sendAll(SocketHandle socket, const std::uint8_t* data, std::size_t size) {
    std::size_t done = 0;
    while (done < size) {
        const int sent = ::send(native(socket), reinterpret_cast<const char*>(data + done),
                                static_cast<int>(size - done), 0);
        if (sent <= 0) return false;
        done += static_cast<std::size_t>(sent);
    }
    return true;
}

long receiveSome(SocketHandle socket, std::uint8_t* buffer, std::size_t size) {
    return ::recv(native(socket), reinterpret_cast<char*>(buffer), static_cast<int>(size), 0);
}

bool listenOn(SocketHandle socket, int backlog) { return ::listen(native(socket), backlog) == 0; }

// Windows binds over lingering connections anyway; its SO_REUSEADDR would
// instead let a second listener share the port.
void allowListenerRebind(SocketHandle) {}

void resetOnClose(SocketHandle socket) {
    const linger immediate{1, 0};
    ::setsockopt(native(socket), SOL_SOCKET, SO_LINGER, reinterpret_cast<const char*>(&immediate), sizeof immediate);
}

SocketHandle acceptConnection(SocketHandle listener, int timeoutMs) {
    if (waitFor(listener, POLLRDNORM, timeoutMs) <= 0) return kInvalidSocket;
    return notInherited(::accept(native(listener), nullptr, nullptr));
}

void writeDebugOutput(const char* line) { ::OutputDebugStringA(line); }

void callAtExit(ExitHandler) {}

} // namespace karvel::net
