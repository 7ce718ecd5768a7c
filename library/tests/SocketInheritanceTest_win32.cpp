// Sockets of the library stay with the process: a program the host starts
// with handle inheritance must not keep port 8410 or a device connection open.
#include <gtest/gtest.h>

#include <winsock2.h>
#include <windows.h>

#include "platform/SocketServices.h"
#include "support/SocketLibrary.h"

namespace {

bool inheritable(karvel::net::SocketHandle socket) {
    DWORD flags = 0;
    if (!::GetHandleInformation(reinterpret_cast<HANDLE>(socket), &flags)) return true;
    return (flags & HANDLE_FLAG_INHERIT) != 0;
}

} // namespace

TEST(SocketInheritance, UdpAndTcpSocketsAreNotInherited) {
    karvel::test::useSocketLibrary();
    for (karvel::net::SocketHandle socket : {karvel::net::openUdpSocket(), karvel::net::openTcpSocket()}) {
        ASSERT_NE(socket, karvel::net::kInvalidSocket);
        EXPECT_FALSE(inheritable(socket));
        karvel::net::closeSocket(socket);
    }
}
