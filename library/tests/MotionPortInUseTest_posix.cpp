// Port 8410 held by another program, here a child process.
#include <gtest/gtest.h>

#include "peers/PeerProcess_posix.h"
#include "support/LoadedKarvel.h"
#include "support/UdpReceiver.h"

using karvel::test::LogCapture;
using karvel::test::PeerProcess;
using karvel::test::UdpReceiver;

namespace {

constexpr const char* kHoldPort8410 =
    "import socket, sys\n"
    "s = socket.socket(socket.AF_INET, socket.SOCK_DGRAM)\n"
    "s.bind(('0.0.0.0', 8410))\n"
    "print('bound', flush=True)\n"
    "sys.stdin.read()\n";

} // namespace

TEST(MotionPortInUse, ConfigurationFailsWhileAnotherProcessHoldsThePortAndWorksAfterIt) {
    karvel::host::KarvelLibrary& lib = karvel::test::karvelLibrary();
    LogCapture& log = LogCapture::instance();
    lib.Release();
    UdpReceiver receiver;
    {
        PeerProcess holder({"/usr/bin/python3", "-c", kHoldPort8410});
        ASSERT_EQ(holder.readLine(), "bound");
        log.clear();
        EXPECT_FALSE(lib.SetConfiguration(0, "127.0.0.1", receiver.port(), 0, "", 0, "", 0));
        EXPECT_EQ(log.linesStartingWith("[Ridova][ERROR] UDPTransportLayer bind failed on fixed source port 8410: ").size(),
                  1u);
        EXPECT_TRUE(log.contains("[Ridova][ERROR] UDP initialization failed for IP: 127.0.0.1:" +
                                 std::to_string(receiver.port())));
    } // the holder ends when its input closes
    EXPECT_TRUE(lib.SetConfiguration(0, "127.0.0.1", receiver.port(), 0, "", 0, "", 0));
    lib.ResetPosition();
    const std::optional<karvel::test::Datagram> home = receiver.receive();
    ASSERT_TRUE(home);
    EXPECT_EQ(home->from.port, 8410);
    lib.Release();
}
