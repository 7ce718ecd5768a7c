// The virtual seat on its own, spoken to byte by byte: malformed datagrams and
// frames are counted and never stop it, and the devices answer as the real
// ones do (echoes, exceptions, silence for a bad CRC or another slave).
#include <gtest/gtest.h>

#include <thread>
#include <vector>

#include "ModbusFraming.h"
#include "SimFixture.h"
#include "support/UdpReceiver.h"
#include "platform/SocketServices.h"

namespace karvel::tools::test {
namespace {

using Bytes = std::vector<std::uint8_t>;

class TcpClient {
public:
    explicit TcpClient(int port) : socket_(net::openTcpSocket()) {
        net::Ipv4Endpoint to{{127, 0, 0, 1}, static_cast<std::uint16_t>(port)};
        connected_ = net::connectTo(socket_, to, 2000);
        net::setReceiveTimeout(socket_, 2000);
    }
    ~TcpClient() { net::closeSocket(socket_); }
    bool connected() const { return connected_; }
    void send(const Bytes& bytes) { ASSERT_TRUE(net::sendAll(socket_, bytes.data(), bytes.size())); }
    // What arrives within the receive time-out, up to `size` bytes.
    Bytes receive(std::size_t size) {
        Bytes reply;
        std::uint8_t buffer[300];
        while (reply.size() < size) {
            const long got = net::receiveSome(socket_, buffer, size - reply.size());
            if (got <= 0) break;
            reply.insert(reply.end(), buffer, buffer + got);
        }
        return reply;
    }
    void setTimeout(int ms) { net::setReceiveTimeout(socket_, ms); }

private:
    net::SocketHandle socket_;
    bool connected_ = false;
};

Bytes withCrc(Bytes frame) {
    const std::uint16_t crc = sim::crc16(frame.data(), frame.size());
    frame.push_back(static_cast<std::uint8_t>(crc & 0xFF));
    frame.push_back(static_cast<std::uint8_t>(crc >> 8));
    return frame;
}

Bytes mbap(std::uint16_t transaction, const Bytes& pdu) {
    Bytes frame(7 + pdu.size());
    frame[0] = static_cast<std::uint8_t>(transaction >> 8);
    frame[1] = static_cast<std::uint8_t>(transaction);
    frame[5] = static_cast<std::uint8_t>(pdu.size() + 1);
    frame[6] = 1;
    std::copy(pdu.begin(), pdu.end(), frame.begin() + 7);
    return frame;
}

class VirtualSeatDevices : public ::testing::Test {
protected:
    sim::VirtualSeat seat_{loopbackSeat(KarvelSeat::OrvidaSeat)};

    sim::SimSnapshot waitFor(const std::function<bool(const sim::SimSnapshot&)>& condition) {
        return seat_.waitFor(condition, kDeadline);
    }
};

TEST_F(VirtualSeatDevices, CountsMalformedDatagramsByKindAndStillDecodesTheNextFrame) {
    const net::SocketHandle sender = net::openUdpSocket();
    const net::Ipv4Endpoint to{{127, 0, 0, 1}, static_cast<std::uint16_t>(seat_.ports().motion)};
    Bytes good = karvel::test::expectedFrame(103002, 180000, 73604, 420000);
    Bytes badStart = good, badEnd = good, shortFrame(good.begin(), good.end() - 1), longFrame = good;
    badStart[1] = 0xAB;
    badEnd[49] = 0x00;
    longFrame.push_back(0);
    for (const Bytes* datagram : {&shortFrame, &longFrame, &badStart, &badEnd, &good})
        net::sendTo(sender, datagram->data(), datagram->size(), to);
    const Bytes empty(1, 0x55);
    net::sendTo(sender, empty.data(), empty.size(), to);
    net::closeSocket(sender);

    const sim::SimSnapshot s = waitFor([](const sim::SimSnapshot& x) { return x.motion.malformed() == 5; });
    EXPECT_EQ(s.motion.wrongLength, 3u);
    EXPECT_EQ(s.motion.badStart, 1u);
    EXPECT_EQ(s.motion.badEnd, 1u);
    EXPECT_EQ(s.motion.lastFault, "wrong length (1 bytes)");
    ASSERT_EQ(s.motion.frames, 1u);
    EXPECT_EQ(s.motion.last.targets.u, 420000);
}

TEST_F(VirtualSeatDevices, RelayBoardEchoesWritesAndAnswersExceptionsOutsideItsMap) {
    TcpClient client(seat_.ports().relay);
    ASSERT_TRUE(client.connected());
    // coils 8..10 = 1 0 1 (scent channel 1), then coil 15 on (heater)
    client.send(mbap(7, {0x0F, 0x00, 0x08, 0x00, 0x03, 0x01, 0x05}));
    EXPECT_EQ(client.receive(12), mbap(7, {0x0F, 0x00, 0x08, 0x00, 0x03}));
    client.send(mbap(8, {0x05, 0x00, 0x0F, 0xFF, 0x00}));
    EXPECT_EQ(client.receive(12), mbap(8, {0x05, 0x00, 0x0F, 0xFF, 0x00}));
    client.send(mbap(9, {0x05, 0x00, 0x10, 0xFF, 0x00})); // coil 16: no such relay
    EXPECT_EQ(client.receive(9), mbap(9, {0x85, 0x02}));
    client.send(mbap(10, {0x06, 0x00, 0x03, 0x00, 0x32})); // the relay board has no registers
    EXPECT_EQ(client.receive(9), mbap(10, {0x86, 0x02}));
    client.send(mbap(11, {0x2B, 0x0E, 0x01, 0x00})); // a function it does not know
    EXPECT_EQ(client.receive(9), mbap(11, {0xAB, 0x01}));

    const sim::SimSnapshot s = waitFor([](const sim::SimSnapshot& x) { return x.relay.requests == 5; });
    EXPECT_EQ(s.effects.scentLevel, 1);
    EXPECT_TRUE(s.effects.heater);
    EXPECT_EQ(s.relay.malformed, 0u);
}

TEST_F(VirtualSeatDevices, RelayBoardDropsBrokenMbapFramesAndKeepsServing) {
    TcpClient client(seat_.ports().relay);
    ASSERT_TRUE(client.connected());
    Bytes wrongProtocol = mbap(1, {0x05, 0x00, 0x04, 0xFF, 0x00});
    wrongProtocol[3] = 0x07;
    client.send(wrongProtocol);
    client.send(mbap(2, {0x05, 0x00, 0x04, 0xFF, 0x00, 0x00})); // one byte too many for the function
    client.send(mbap(3, {0x05, 0x00, 0x04, 0xFF, 0x00}));
    EXPECT_EQ(client.receive(12), mbap(3, {0x05, 0x00, 0x04, 0xFF, 0x00})) << "only the good frame is answered";
    client.send({0x00, 0x04, 0x00, 0x00, 0x01, 0x2C, 0x01}); // length 300: the stream is lost
    waitFor([](const sim::SimSnapshot& x) { return x.relay.malformed == 3; });

    TcpClient next(seat_.ports().relay);
    next.send(mbap(4, {0x05, 0x00, 0x0F, 0xFF, 0x00}));
    EXPECT_EQ(next.receive(12), mbap(4, {0x05, 0x00, 0x0F, 0xFF, 0x00}));
    const sim::SimSnapshot s = seat_.snapshot();
    EXPECT_EQ(s.relay.requests, 2u);
    EXPECT_NE(s.relay.lastFault.find("length 300"), std::string::npos) << s.relay.lastFault;
}

TEST_F(VirtualSeatDevices, FanSpeedControllerAnswersRtuFramesAndStaysSilentOnBadOnes) {
    TcpClient client(seat_.ports().speed);
    ASSERT_TRUE(client.connected());
    const Bytes setSpeed = {0x01, 0x06, 0x00, 0x03, 0x00, 0x32, 0xF8, 0x1F};
    client.send(setSpeed);
    EXPECT_EQ(client.receive(8), setSpeed);
    client.send(withCrc({0x01, 0x06, 0x00, 0x08, 0x00, 0x01})); // register 8: outside the map
    EXPECT_EQ(client.receive(5), withCrc({0x01, 0x86, 0x02}));
    client.send(withCrc({0x01, 0x05, 0x00, 0x03, 0xFF, 0x00})); // it has no coils
    EXPECT_EQ(client.receive(5), withCrc({0x01, 0x85, 0x02}));
    client.send(withCrc({0x01, 0x03, 0x00, 0x03, 0x00, 0x01}));
    EXPECT_EQ(client.receive(7), withCrc({0x01, 0x03, 0x02, 0x00, 0x32}));

    client.setTimeout(400);
    Bytes badCrc = withCrc({0x01, 0x06, 0x00, 0x03, 0x00, 0x64});
    badCrc.back() ^= 0xFF;
    client.send(badCrc);
    EXPECT_TRUE(client.receive(1).empty()) << "a frame with a bad CRC gets no answer";
    client.send(withCrc({0x02, 0x06, 0x00, 0x03, 0x00, 0x64}));
    EXPECT_TRUE(client.receive(1).empty()) << "a frame for slave 2 gets no answer";
    client.send({0x01, 0x06, 0x00}); // cut short; the silence after it ends it
    waitFor([](const sim::SimSnapshot& x) { return x.speed.malformed == 2; });

    client.setTimeout(2000);
    client.send(withCrc({0x01, 0x06, 0x00, 0x03, 0x00, 0x46}));
    EXPECT_EQ(client.receive(8), withCrc({0x01, 0x06, 0x00, 0x03, 0x00, 0x46}));
    const sim::SimSnapshot s = seat_.snapshot();
    EXPECT_EQ(s.effects.fanSpeed, 70);
    EXPECT_EQ(s.effects.windLevel, 2);
    EXPECT_EQ(s.speed.requests, 5u);
    EXPECT_EQ(s.speed.ignored, 1u);
}

// Counters, flags and peaks belong to a session; the posture and the device outputs stay across sessions.
TEST(VirtualSeatSessions, CountersStartAgainWhileThePostureAndTheOutputsStay) {
    using namespace std::chrono_literals;
    sim::SeatOptions options = loopbackSeat(KarvelSeat::OrvidaSeat);
    options.sessionGap = 1000ms;
    sim::VirtualSeat seat(options);
    const net::Ipv4Endpoint motion{{127, 0, 0, 1}, static_cast<std::uint16_t>(seat.ports().motion)};
    const Bytes tilted = karvel::test::expectedFrame(103002, 180000, 73604, 420000);
    const Bytes level = karvel::test::expectedFrame(60000, 60000, 60000, 0);
    const Bytes cut(tilted.begin(), tilted.begin() + 3);
    const net::SocketHandle sender = net::openUdpSocket();
    for (const Bytes* datagram : {&level, &tilted, &cut}) // a jump, flagged, and a broken datagram
        net::sendTo(sender, datagram->data(), datagram->size(), motion);
    sim::SimSnapshot s = seat.waitFor([](const sim::SimSnapshot& x) { return x.motion.malformed() == 1; }, kDeadline);
    ASSERT_EQ(s.motion.frames, 2u);
    EXPECT_EQ(s.motion.rates.flagged, 1u);
    EXPECT_EQ(s.session.number, 1u);

    std::this_thread::sleep_for(1200ms); // the quiet gap is what is tested
    net::sendTo(sender, tilted.data(), tilted.size(), motion);
    s = seat.waitFor([](const sim::SimSnapshot& x) { return x.session.number == 2 && x.motion.frames == 1; },
                     kDeadline);
    EXPECT_EQ(s.session.number, 2u);
    EXPECT_EQ(s.session.cause, "a host after a pause");
    EXPECT_EQ(s.motion.frames, 1u);
    EXPECT_EQ(s.motion.malformed(), 0u);
    EXPECT_EQ(s.motion.lastFault, "");
    EXPECT_EQ(s.motion.rates.flagged, 0u) << "the same posture again moved nothing";
    EXPECT_EQ(s.motion.rates.peak.pitch, 0.0);
    EXPECT_EQ(s.motion.last.targets.u, 420000);
    net::closeSocket(sender);

    TcpClient relay(seat.ports().relay);
    relay.send(mbap(1, {0x05, 0x00, 0x0F, 0xFF, 0x00})); // heater on
    EXPECT_EQ(relay.receive(12), mbap(1, {0x05, 0x00, 0x0F, 0xFF, 0x00}));
    EXPECT_EQ(seat.snapshot().relay.requests, 1u);
    // (A machine that stalls longer than the gap here may have begun another session: numbers are relative.)
    const std::uint64_t before = seat.snapshot().session.number;
    EXPECT_EQ(seat.restartSession(), before + 1);
    s = seat.snapshot();
    EXPECT_EQ(s.session.cause, "reset");
    EXPECT_EQ(s.relay.requests, 0u);
    EXPECT_EQ(s.motion.frames, 0u);
    EXPECT_TRUE(s.effects.heater) << "the relay board still holds its output";
    EXPECT_EQ(s.relay.clients, 1);
    EXPECT_EQ(s.motion.last.targets.u, 420000) << "the seat stays where it was";
    relay.send(mbap(2, {0x05, 0x00, 0x0F, 0x00, 0x00}));
    EXPECT_EQ(relay.receive(12), mbap(2, {0x05, 0x00, 0x0F, 0x00, 0x00}));
    s = seat.snapshot();
    EXPECT_EQ(s.relay.requests, 1u);
    EXPECT_FALSE(s.effects.heater);
}

} // namespace
} // namespace karvel::tools::test
