// Sockets of the library stay with the process: a program the host starts
// must not keep port 8410 or a device connection open.
#include <gtest/gtest.h>

#include <fcntl.h>

#include "platform/SocketServices.h"

namespace {

bool closedOnExec(karvel::net::SocketHandle socket) {
    const int flags = ::fcntl(static_cast<int>(socket), F_GETFD);
    return flags >= 0 && (flags & FD_CLOEXEC) != 0;
}

} // namespace

TEST(SocketInheritance, UdpAndTcpSocketsAreNotInherited) {
    for (karvel::net::SocketHandle socket : {karvel::net::openUdpSocket(), karvel::net::openTcpSocket()}) {
        ASSERT_NE(socket, karvel::net::kInvalidSocket);
        EXPECT_TRUE(closedOnExec(socket));
        karvel::net::closeSocket(socket);
    }
}
