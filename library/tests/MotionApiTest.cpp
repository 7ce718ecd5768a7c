// The motion path through the real shared library, loaded by path, against
// loopback receivers. These tests bind the fixed source port 8410.
#include <gtest/gtest.h>

#include <atomic>
#include <cmath>
#include <condition_variable>
#include <cstring>
#include <mutex>
#include <limits>
#include <thread>

#include "Karvel.h"
#include "SeatAlgorithm.h"
#include "support/LoadedKarvel.h"
#include "support/ProcessStats.h"
#include "support/UdpReceiver.h"

using karvel::test::Datagram;
using karvel::test::expectedFrame;
using karvel::test::LogCapture;
using karvel::test::PortHolder;
using karvel::test::UdpReceiver;

namespace {

constexpr int kTamsel = 0;
constexpr int kOrvida = 1;
constexpr const char* kLoopback = "127.0.0.1";

void silentLog(int, const char*) {}

// A log callback that holds the thread writing the first line that contains
// `marker` until let go: as slow as a host callback can make it. DEBUG lines
// are left out of the capture; the rest goes there.
struct StallingLog {
    static StallingLog& instance(const char* marker) {
        StallingLog& self = instance();
        self.marker = marker;
        self.stalled = self.letGo = false;
        return self;
    }
    static StallingLog& instance() {
        static StallingLog self;
        return self;
    }
    static void callback(int level, const char* text) {
        StallingLog& self = instance();
        if (std::strstr(text, self.marker) != nullptr) {
            std::unique_lock<std::mutex> lock(self.mutex);
            self.stalled = true;
            self.changed.notify_all();
            self.changed.wait(lock, [&] { return self.letGo; });
        }
        if (level != KARVEL_LOG_DEBUG) LogCapture::callback(level, text);
    }
    bool waitStalled() {
        std::unique_lock<std::mutex> lock(mutex);
        return changed.wait_for(lock, std::chrono::seconds(10), [&] { return stalled; });
    }
    void letGoNow() {
        std::lock_guard<std::mutex> lock(mutex);
        letGo = true;
        changed.notify_all();
    }

    std::mutex mutex;
    std::condition_variable changed;
    const char* marker = "";
    bool stalled = false;
    bool letGo = false;
};

class MotionApi : public ::testing::Test {
protected:
    void SetUp() override {
        // The kinematics linked into this test (for expected values) log through their own sink.
        Ridova_SetLogCallback(&silentLog);
        lib().Release();
        log().clear();
    }
    void TearDown() override {
        lib().Release();
        for (const std::string& line : log().texts()) {
            EXPECT_LE(line.size(), 1023u);
            EXPECT_TRUE(line.empty() || line.back() != '\n') << line;
        }
    }

    static karvel::host::KarvelLibrary& lib() { return karvel::test::karvelLibrary(); }
    static LogCapture& log() { return LogCapture::instance(); }

    bool configure(int model, const UdpReceiver& receiver) {
        return lib().SetConfiguration(model, kLoopback, receiver.port(), 0, "", 0, "", 0);
    }

    // The next datagram, which must come from port 8410 and be 50 bytes long.
    static std::vector<std::uint8_t> nextFrame(UdpReceiver& receiver) {
        std::optional<Datagram> datagram = receiver.receive();
        if (!datagram) {
            ADD_FAILURE() << "no datagram";
            return {};
        }
        EXPECT_EQ(datagram->from.port, 8410);
        EXPECT_EQ(datagram->bytes.size(), 50u);
        return datagram->bytes;
    }
};

} // namespace

TEST_F(MotionApi, VersionIsAvailableBeforeAnything) {
    EXPECT_STREQ(lib().GetVersion(), "Karvel-PC v0.6.0");
}

// A caller faster than the worker: whatever arrives is whole and in call
// order, the last posture always arrives, and what did not was reported.
TEST_F(MotionApi, StreamedPosturesArriveWholeInCallOrderAndEndWithTheLast) {
    UdpReceiver receiver;
    ASSERT_TRUE(configure(kTamsel, receiver));
    constexpr int kCount = 1000;
    struct Posture {
        float pitch, roll, yaw, height;
    };
    std::vector<Posture> postures;
    std::vector<std::vector<std::uint8_t>> expected;
    for (int i = 0; i < kCount; ++i) {
        const Posture p{12.0f * std::sin(i * 0.05f), 9.0f * std::cos(i * 0.03f), static_cast<float>(i % 360) - 180.0f,
                        0.5f + 0.4f * std::sin(i * 0.01f)};
        postures.push_back(p);
        const karvel::PulseTargets t = karvel::SeatAlgorithm::postureTargets(p.pitch, p.roll, p.yaw, p.height, kTamsel);
        expected.push_back(expectedFrame(t.x, t.y, t.z, t.u));
    }
    // Read while sending: the receiving socket's buffer holds only a few hundred datagrams.
    std::vector<Datagram> received;
    std::thread reader([&] {
        while (std::optional<Datagram> d = receiver.receive()) {
            received.push_back(*d);
            if (d->bytes == expected.back()) break;
        }
    });
    for (const Posture& p : postures) lib().SendSeatPosture(p.pitch, p.roll, p.yaw, p.height);
    reader.join();
    ASSERT_FALSE(received.empty());
    EXPECT_EQ(received.back().bytes, expected.back());
    std::size_t next = 0; // each datagram is a later posture than the one before
    for (const Datagram& d : received) {
        EXPECT_EQ(d.from.port, 8410);
        while (next < expected.size() && expected[next] != d.bytes) ++next;
        ASSERT_LT(next, expected.size()) << "a datagram out of call order or not built from a posture";
        ++next;
    }
    lib().Release(); // the worker reports the last of what it dropped before it ends
    std::uint64_t dropped = 0;
    for (const std::string& line : log().linesStartingWith("[Ridova][ERROR] UDPTransportLayer fell behind: "))
        dropped += std::stoull(line.substr(std::string("[Ridova][ERROR] UDPTransportLayer fell behind: ").size()));
    EXPECT_EQ(received.size() + dropped, static_cast<std::size_t>(kCount));
    // Seven DEBUG lines per posture: the controller's, two of the axes, three pulses and the rotation.
    EXPECT_EQ(log().linesStartingWith("[Ridova][DEBUG] sendSeatPosture: ").size(), static_cast<std::size_t>(kCount));
    EXPECT_EQ(log().linesStartingWith("[Ridova][DEBUG] SeatAlgorithm::calculatePulse").size(),
              static_cast<std::size_t>(3 * kCount));
}

TEST_F(MotionApi, WorkedExamplesOnTheWireForEveryModel) {
    struct Case {
        int model;
        std::vector<std::uint8_t> posture, command, home;
    };
    const Case cases[] = {
        {kTamsel, expectedFrame(103002, 180000, 73604, 420000), expectedFrame(103002, 180000, 73604, 210000),
         expectedFrame(0, 0, 0, 0)},
        {kOrvida, expectedFrame(65177, 120000, 44994, 420000), expectedFrame(65177, 120000, 44994, 210000),
         expectedFrame(65177, 65177, 65177, 0)},
        {7, expectedFrame(103002, 180000, 73604, 420000), expectedFrame(103002, 180000, 73604, 210000),
         expectedFrame(0, 0, 0, 0)},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.model);
        UdpReceiver receiver;
        ASSERT_TRUE(configure(c.model, receiver));
        lib().SendSeatPosture(7.5f, -7.5f, 90.0f, 0.5f);
        EXPECT_EQ(nextFrame(receiver), c.posture);
        lib().SendPostureCommand(0.5f, 1.0f, 0.25f, 90.0f);
        EXPECT_EQ(nextFrame(receiver), c.command);
        lib().ResetPosition();
        EXPECT_EQ(nextFrame(receiver), c.home);
        lib().SendSeatPosture(0.0f, 0.0f, -1.0f, 0.0f);
        EXPECT_EQ(nextFrame(receiver), expectedFrame(0, 0, 0, -4666));
        lib().SendPostureCommand(1.01f, -0.01f, 0.0f, 1.0f);
        EXPECT_EQ(nextFrame(receiver), expectedFrame(0, 0, 0, 2333));
    }
    EXPECT_TRUE(log().contains(
        "[Ridova][DEBUG] sendSeatPosture: pitch=7.50, roll=-7.50, yaw=90.00, height=0.50, type=7"));
    EXPECT_TRUE(log().contains("[Ridova][DEBUG] sendPostureCommand: x=0.50, y=1.00, z=0.25, angle=90.00, type=1"));
    EXPECT_TRUE(log().contains("[Ridova][DEBUG] resetPosition called for type: 1"));
}

TEST_F(MotionApi, ConfigurationLogsAndReplacesTheTransport) {
    UdpReceiver receiver;
    const std::string port = std::to_string(receiver.port());
    ASSERT_TRUE(configure(kTamsel, receiver));
    ASSERT_TRUE(configure(kOrvida, receiver)); // the first transport frees port 8410 first
    const std::vector<std::string> expected = {
        "[Ridova][INFO] setConfiguration called: seatType=0, udpIp=127.0.0.1, udpPort=" + port + ", enableEffects=0",
        "[Ridova][DEBUG] UDPTransportLayer::close called",
        "[Ridova][INFO] UDPTransportLayer::initialize dst=127.0.0.1:" + port + " sourcePort=8410",
        "[Ridova][INFO] UDP initialized successfully for IP: 127.0.0.1:" + port,
        "[Ridova][INFO] Effects disabled.",
        "[Ridova][INFO] setConfiguration called: seatType=1, udpIp=127.0.0.1, udpPort=" + port + ", enableEffects=0",
        "[Ridova][DEBUG] UDPTransportLayer::close called",
        "[Ridova][DEBUG] UDPTransportLayer closing socket",
        "[Ridova][DEBUG] UDPTransportLayer::close called",
        "[Ridova][INFO] UDPTransportLayer::initialize dst=127.0.0.1:" + port + " sourcePort=8410",
        "[Ridova][INFO] UDP initialized successfully for IP: 127.0.0.1:" + port,
        "[Ridova][INFO] Effects disabled.",
    };
    lib().Release();
    log().clear();
    ASSERT_TRUE(configure(kTamsel, receiver));
    ASSERT_TRUE(configure(kOrvida, receiver));
    EXPECT_EQ(log().callerTexts(), expected);
    lib().ResetPosition();
    EXPECT_EQ(nextFrame(receiver), expectedFrame(65177, 65177, 65177, 0));
}

TEST_F(MotionApi, BadConfigurationsFailWithTheirReason) {
    struct Case {
        const char* ip;
        int port;
        std::string reason;
    };
    const Case cases[] = {
        {"127.0.0.1", 0, "[Ridova][ERROR] UDPTransportLayer invalid destination port: 0"},
        {"127.0.0.1", 65536, "[Ridova][ERROR] UDPTransportLayer invalid destination port: 65536"},
        {"127.0.0.1", -1, "[Ridova][ERROR] UDPTransportLayer invalid destination port: -1"},
        {"localhost", 7408, "[Ridova][ERROR] UDPTransportLayer invalid destination IP: localhost"},
        {"::1", 7408, "[Ridova][ERROR] UDPTransportLayer invalid destination IP: ::1"},
        {"192.168.15", 7408, "[Ridova][ERROR] UDPTransportLayer invalid destination IP: 192.168.15"},
        {"", 7408, "[Ridova][ERROR] UDPTransportLayer invalid destination IP: "},
        {nullptr, 7408, "[Ridova][ERROR] UDPTransportLayer invalid destination IP: "},
    };
    UdpReceiver receiver;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.reason);
        lib().Release(); // passes on held-back repeats: each case's lines are shown again
        ASSERT_TRUE(configure(kTamsel, receiver));
        log().clear();
        EXPECT_FALSE(lib().SetConfiguration(kTamsel, c.ip, c.port, 0, "", 0, "", 0));
        EXPECT_TRUE(log().contains(c.reason));
        const std::string shownIp = c.ip != nullptr ? c.ip : "";
        EXPECT_TRUE(log().contains("[Ridova][ERROR] UDP initialization failed for IP: " + shownIp + ":" +
                                   std::to_string(c.port)));
        // No transport now: postures send nothing and log nothing; the endpoint cannot be switched.
        log().clear();
        lib().SendSeatPosture(1, 1, 1, 0.5f);
        EXPECT_TRUE(log().callerTexts().empty());
        EXPECT_FALSE(lib().SetUdpEndpoint(kLoopback, receiver.port()));
        EXPECT_TRUE(log().contains("[Ridova][ERROR] setUdpEndpoint called before UDP initialization"));
    }
    EXPECT_FALSE(receiver.receive(200));
}

TEST_F(MotionApi, RejectedEndpointSwitchKeepsTheTarget) {
    UdpReceiver receiver;
    ASSERT_TRUE(configure(kTamsel, receiver));
    const std::pair<const char*, int> bad[] = {{kLoopback, 0}, {kLoopback, 65536}, {kLoopback, -1},
                                               {"localhost", 7408}, {"", 7408}, {"::1", 7408}};
    for (const auto& [ip, port] : bad) EXPECT_FALSE(lib().SetUdpEndpoint(ip, port));
    EXPECT_FALSE(lib().SetUdpEndpoint(nullptr, 7408));
    EXPECT_TRUE(log().contains("[Ridova][ERROR] Ridova_SetUdpEndpoint refused: ip is a null pointer"));
    EXPECT_EQ(log().linesStartingWith("[Ridova][ERROR] UDPTransportLayer setTarget invalid port: ").size(), 3u);
    EXPECT_TRUE(log().contains("[Ridova][ERROR] UDPTransportLayer setTarget invalid port: 65536"));
    EXPECT_TRUE(log().contains("[Ridova][ERROR] UDPTransportLayer setTarget invalid IP: localhost"));
    EXPECT_TRUE(log().contains("[Ridova][ERROR] UDPTransportLayer setTarget invalid IP: "));
    lib().ResetPosition();
    EXPECT_EQ(nextFrame(receiver), expectedFrame(0, 0, 0, 0));
    // The extreme valid ports are accepted.
    EXPECT_TRUE(lib().SetUdpEndpoint(kLoopback, 1));
    EXPECT_TRUE(lib().SetUdpEndpoint(kLoopback, 65535));
    EXPECT_TRUE(lib().SetConfiguration(kTamsel, kLoopback, 65535, 0, "", 0, "", 0));
    EXPECT_TRUE(lib().SetConfiguration(kTamsel, kLoopback, 1, 0, "", 0, "", 0));
}

TEST_F(MotionApi, EndpointSwitchMovesTheStream) {
    UdpReceiver first;
    UdpReceiver second;
    ASSERT_TRUE(configure(kTamsel, first));
    lib().SendPostureCommand(0, 0, 0, 10);
    EXPECT_EQ(nextFrame(first), expectedFrame(0, 0, 0, 23333));
    ASSERT_TRUE(lib().SetUdpEndpoint(kLoopback, second.port()));
    EXPECT_TRUE(log().contains("[Ridova][INFO] UDPTransportLayer target switched to 127.0.0.1:" +
                               std::to_string(second.port())));
    lib().SendPostureCommand(0, 0, 0, 20);
    EXPECT_EQ(nextFrame(second), expectedFrame(0, 0, 0, 46666));
    EXPECT_FALSE(first.receive(200));
}

TEST_F(MotionApi, FixedSourcePortTakenIsAFailure) {
    PortHolder holder(8410);
    ASSERT_TRUE(holder.bound());
    UdpReceiver receiver;
    EXPECT_FALSE(configure(kTamsel, receiver));
    EXPECT_EQ(log().linesStartingWith("[Ridova][ERROR] UDPTransportLayer bind failed on fixed source port 8410: ").size(),
              1u);
    EXPECT_TRUE(log().contains("[Ridova][ERROR] UDP initialization failed for IP: 127.0.0.1:" +
                               std::to_string(receiver.port())));
    lib().SendSeatPosture(0, 0, 0, 0);
    EXPECT_FALSE(receiver.receive(200));
}

TEST_F(MotionApi, ReleaseFreesThePortAndIsSafeToRepeat) {
    UdpReceiver receiver;
    ASSERT_TRUE(configure(kTamsel, receiver));
    log().clear();
    lib().Release();
    EXPECT_TRUE(PortHolder(8410).bound());
    lib().Release();
    const std::vector<std::string> lines = log().callerTexts();
    ASSERT_GE(lines.size(), 3u);
    EXPECT_EQ(lines.front(), "[Ridova][INFO] SeatController::release called");
    EXPECT_TRUE(log().contains("[Ridova][INFO] UDPTransportLayer released"));
    EXPECT_EQ(lines.back(), "[Ridova][INFO] SeatController::release called"); // the second release
    EXPECT_EQ(log().linesStartingWith("[Ridova][INFO] UDPTransportLayer released").size(), 1u);
    // Afterwards configuration works again and the callback is still in place.
    log().clear();
    ASSERT_TRUE(configure(kOrvida, receiver));
    EXPECT_FALSE(log().texts().empty());
    lib().ResetPosition();
    EXPECT_EQ(nextFrame(receiver), expectedFrame(65177, 65177, 65177, 0));
}

TEST_F(MotionApi, ResetWithoutTransportOnlyLogs) {
    EXPECT_FALSE(lib().SetConfiguration(kTamsel, "", 7408, 0, nullptr, 0, nullptr, 0));
    log().clear();
    lib().ResetPosition();
    EXPECT_EQ(log().callerTexts(), std::vector<std::string>{"[Ridova][DEBUG] resetPosition called for type: 0"});
}

TEST_F(MotionApi, ReconfiguringInALoopLeaksNoThreadOrSocket) {
    UdpReceiver receiver;
    ASSERT_TRUE(configure(kTamsel, receiver));
    lib().Release();
    const int threads = karvel::test::threadCount();
    const int handles = karvel::test::openHandleCount();
    for (int i = 0; i < 100; ++i) {
        ASSERT_TRUE(configure(i % 2, receiver)) << i;
        lib().ResetPosition();
    }
    EXPECT_EQ(receiver.receiveMany(100).size(), 100u);
    lib().Release();
    EXPECT_LE(karvel::test::threadCountBackTo(threads), threads);
    EXPECT_LE(karvel::test::openHandleCountBackTo(handles), handles);
}

TEST_F(MotionApi, SuccessLineShowsTheFrameAndIsThrottled) {
    UdpReceiver receiver;
    ASSERT_TRUE(configure(kTamsel, receiver));
    lib().SendSeatPosture(7.5f, -7.5f, 90.0f, 0.5f);
    nextFrame(receiver);
    const std::string prefix = "[Ridova][INFO] [UDP TX] socket-send-ok (not device ACK) #";
    ASSERT_TRUE(log().waitFor(prefix));
    const std::string hex = "55 AA 00 00 14 01 00 01 FF FF FF FF 00 00 00 00 00 00 00 14 00 01 92 5A 00 02 BF 20 "
                            "00 01 1F 84 00 06 68 A0 00 00 00 00 00 00 00 00 12 34 56 78 AB CD";
    EXPECT_EQ(log().linesStartingWith(prefix).front(),
              prefix + "1 dst=127.0.0.1:" + std::to_string(receiver.port()) +
                  " bytes=50 playTime=20 X=103002 Y=180000 Z=73604 U=420000 V=0 W=0 | HEX=" + hex);
    // A steady stream logs again only after about a second, with a counter that counts every datagram.
    for (int sent = 0; !log().waitFor(prefix, 2, std::chrono::milliseconds(1)); ++sent) {
        ASSERT_LT(sent, 100000) << "no second success line";
        lib().ResetPosition();
        nextFrame(receiver);
    }
    const std::string second = log().linesStartingWith(prefix).at(1);
    const long counter = std::stol(second.substr(prefix.size()));
    EXPECT_GT(counter, 2);
}

TEST_F(MotionApi, NonFiniteInputSendsNothing) {
    UdpReceiver receiver;
    ASSERT_TRUE(configure(kTamsel, receiver));
    const float nan = std::numeric_limits<float>::quiet_NaN();
    const float inf = std::numeric_limits<float>::infinity();
    log().clear();
    lib().SendSeatPosture(nan, 0, 0, 0.5f);
    lib().SendSeatPosture(0, 0, 0, nan);
    lib().SendSeatPosture(0, -inf, 0, 0.5f);
    lib().SendSeatPosture(0, 0, inf, 0.5f);
    lib().SendPostureCommand(0.5f, nan, 0.5f, 0);
    lib().SendPostureCommand(0.5f, 0.5f, 0.5f, inf);
    EXPECT_EQ(log().linesStartingWith("[Ridova][ERROR] sendSeatPosture rejected non-finite input: ").size(), 4u);
    EXPECT_EQ(log().linesStartingWith("[Ridova][ERROR] sendPostureCommand rejected non-finite input: ").size(), 2u);
    EXPECT_TRUE(log().contains(
        "[Ridova][ERROR] sendSeatPosture rejected non-finite input: pitch=nan, roll=0.00, yaw=0.00, height=0.50"));
    // Only the six rejections: no kinematics or send lines (the worker's own start line may land late).
    EXPECT_EQ(log().callerTexts().size(), 6u);
    lib().ResetPosition();
    EXPECT_EQ(nextFrame(receiver), expectedFrame(0, 0, 0, 0)); // the first datagram is the home frame
}

TEST_F(MotionApi, LongTextIsCutAt1023Characters) {
    const std::string head = "[Ridova][INFO] setConfiguration called: seatType=0, udpIp=";
    const std::string tail = ", udpPort=7408, enableEffects=0";
    for (std::size_t total : {1023u, 1024u, 2000u}) {
        const std::string ip(total - head.size() - tail.size(), '9');
        log().clear();
        EXPECT_FALSE(lib().SetConfiguration(kTamsel, ip.c_str(), 7408, 0, "", 0, "", 0));
        const std::string line = log().callerTexts().at(0);
        EXPECT_EQ(line, (head + ip + tail).substr(0, 1023));
    }
}

TEST_F(MotionApi, PosturesRacingWithTargetSwitches) {
    UdpReceiver first;
    UdpReceiver second;
    ASSERT_TRUE(configure(kOrvida, first));
    std::atomic<bool> streaming{true};
    std::thread poster([&] {
        while (streaming) lib().SendSeatPosture(3.0f, -2.0f, 45.0f, 0.5f);
    });
    for (int i = 0; i < 200; ++i) {
        EXPECT_TRUE(lib().SetUdpEndpoint(kLoopback, (i % 2 ? first : second).port()));
        first.receive(0);
        second.receive(0);
    }
    streaming = false;
    poster.join();
    // Drain until both receivers fall silent, so the transport's queue is empty.
    for (bool quiet = false; !quiet;) {
        quiet = true;
        for (UdpReceiver* receiver : {&first, &second})
            while (std::optional<Datagram> d = receiver->receive(300)) {
                EXPECT_EQ(d->bytes.size(), 50u);
                quiet = false;
            }
    }
    // The last switch pointed at the first receiver.
    lib().ResetPosition();
    std::optional<Datagram> last = first.receive();
    ASSERT_TRUE(last);
    EXPECT_EQ(last->bytes, expectedFrame(65177, 65177, 65177, 0));
}

TEST_F(MotionApi, UnreachableTargetDoesNotStopTheStream) {
    int silentPort;
    {
        UdpReceiver gone; // a port nobody listens on once this closes
        silentPort = gone.port();
    }
    UdpReceiver receiver;
    ASSERT_TRUE(lib().SetConfiguration(kTamsel, kLoopback, silentPort, 0, "", 0, "", 0));
    for (int i = 0; i < 50; ++i) lib().SendPostureCommand(0, 0, 0, static_cast<float>(i));
    ASSERT_TRUE(lib().SetUdpEndpoint(kLoopback, receiver.port()));
    lib().ResetPosition();
    EXPECT_EQ(nextFrame(receiver), expectedFrame(0, 0, 0, 0));
    // Whatever the system made of the port-unreachable answers, it was logged, not fatal.
    for (const std::string& line : log().linesStartingWith("[Ridova][ERROR]"))
        EXPECT_TRUE(line.rfind("[Ridova][ERROR] UDPTransportLayer sendto error: ", 0) == 0 ||
                    line.rfind("[Ridova][ERROR] UDPTransportLayer fell behind: ", 0) == 0)
            << line;
}

// The host is meant to pause its posture stream around a release or a
// configuration; one that does not must still get neither a crash nor a hang.
TEST_F(MotionApi, ReleaseAndReconfigurationRacingWithPostureThreads) {
    UdpReceiver receiver;
    ASSERT_TRUE(configure(kOrvida, receiver));
    lib().SetLogCallback(&silentLog); // millions of posture lines would only fill the capture
    std::atomic<bool> streaming{true};
    // Each release or configuration lets the posters have a burst of calls
    // while it runs: unbounded, the frames would pile up faster than a slow
    // socket (wine's) sends them, and every release waits for its pile.
    std::atomic<int> burst{0};
    std::vector<std::thread> posters;
    for (int t = 0; t < 3; ++t)
        posters.emplace_back([&] {
            while (streaming) {
                if (burst.fetch_sub(1) <= 0) {
                    burst.fetch_add(1);
                    std::this_thread::yield();
                    continue;
                }
                lib().SendSeatPosture(3.0f, -2.0f, 45.0f, 0.5f);
                lib().SendPostureCommand(0.5f, 0.5f, 0.5f, 10.0f);
                lib().ResetPosition();
            }
        });
    for (int i = 0; i < 400; ++i) {
        burst = 300;
        if (i % 2 == 0) {
            EXPECT_TRUE(configure(i % 4 == 0 ? kTamsel : kOrvida, receiver)) << i;
        } else {
            lib().Release();
        }
        while (receiver.receive(0)) {
        }
    }
    streaming = false;
    for (std::thread& poster : posters) poster.join();
    lib().SetLogCallback(&LogCapture::callback);
    // Port 8410 is free again and the next configuration works as ever.
    ASSERT_TRUE(configure(kOrvida, receiver));
    while (receiver.receive(200)) {
    }
    lib().ResetPosition();
    EXPECT_EQ(nextFrame(receiver), expectedFrame(65177, 65177, 65177, 0));
}

// Postures keep coming while the worker is stuck: the queue keeps only the
// newest few, so the rider gets the latest posture as soon as the worker
// moves again, memory stays flat and the release does not wait for a pile.
TEST_F(MotionApi, AStalledWorkerSendsOnlyTheNewestPosturesAndReportsTheRest) {
    UdpReceiver receiver;
    ASSERT_TRUE(configure(kTamsel, receiver));
    StallingLog& stall = StallingLog::instance("socket-send-ok");
    lib().SetLogCallback(&StallingLog::callback);
    lib().ResetPosition();
    ASSERT_TRUE(stall.waitStalled());
    EXPECT_EQ(nextFrame(receiver), expectedFrame(0, 0, 0, 0));
    constexpr int kPostures = 20000;
    std::vector<std::vector<std::uint8_t>> expected;
    for (int i = 0; i < kPostures; ++i) {
        const float x = static_cast<float>(i) / kPostures;
        lib().SendPostureCommand(x, 0.5f, 0.5f, 0.0f);
        const karvel::PulseTargets t = karvel::SeatAlgorithm::commandTargets(x, 0.5f, 0.5f, 0.0f, kTamsel);
        expected.push_back(expectedFrame(t.x, t.y, t.z, t.u));
    }
    stall.letGoNow();
    std::vector<std::vector<std::uint8_t>> received;
    while (received.empty() || received.back() != expected.back()) {
        std::optional<Datagram> d = receiver.receive();
        ASSERT_TRUE(d) << "the newest posture never arrived";
        received.push_back(d->bytes);
    }
    // Only the newest few were still queued: they arrive in call order, the oldest gave way.
    ASSERT_LE(received.size(), 4u);
    EXPECT_TRUE(std::equal(received.begin(), received.end(), expected.end() - static_cast<long>(received.size())));
    lib().Release();
    lib().SetLogCallback(&LogCapture::callback);
    const std::string behind = "[Ridova][ERROR] UDPTransportLayer fell behind: ";
    std::uint64_t dropped = 0;
    for (const std::string& line : log().linesStartingWith(behind)) dropped += std::stoull(line.substr(behind.size()));
    EXPECT_EQ(dropped + received.size(), static_cast<std::uint64_t>(kPostures));
    EXPECT_LE(log().linesStartingWith(behind).size(), 2u) << "one line at once, the rest when the worker ends";
}

// A posture's DEBUG lines come after its hand-off to the worker: a log
// callback that takes long on them delays the caller, never the frame.
TEST_F(MotionApi, ACallbackHeldInAPosturesDebugLinesDoesNotHoldItsFrame) {
    UdpReceiver receiver;
    ASSERT_TRUE(configure(kTamsel, receiver));
    StallingLog& stall = StallingLog::instance("[Ridova][DEBUG] sendSeatPosture: ");
    lib().SetLogCallback(&StallingLog::callback);
    std::thread caller([] { lib().SendSeatPosture(7.5f, -7.5f, 90.0f, 0.5f); });
    const bool stalled = stall.waitStalled();
    const std::vector<std::uint8_t> frame = stalled ? nextFrame(receiver) : std::vector<std::uint8_t>{};
    stall.letGoNow();
    caller.join();
    lib().SetLogCallback(&LogCapture::callback);
    ASSERT_TRUE(stalled);
    EXPECT_EQ(frame, expectedFrame(103002, 180000, 73604, 420000));
}

TEST_F(MotionApi, TargetsNoSeatCanBeAtAreRefused) {
    const std::pair<const char*, const char*> unusable[] = {{"255.255.255.255", "broadcast"},
                                                             {"0.0.0.0", "no host"},
                                                             {"0.1.2.3", "no host"},
                                                             {"224.0.0.1", "multicast"},
                                                             {"239.255.255.250", "multicast"},
                                                             {"240.0.0.1", "reserved"}};
    UdpReceiver receiver;
    for (const auto& [ip, reason] : unusable) {
        SCOPED_TRACE(ip);
        log().clear();
        EXPECT_FALSE(lib().SetConfiguration(kTamsel, ip, 7408, 0, "", 0, "", 0));
        EXPECT_TRUE(log().contains(std::string("[Ridova][ERROR] UDPTransportLayer unusable destination IP: ") + ip +
                                   " (" + reason + ")"));
        EXPECT_TRUE(log().contains(std::string("[Ridova][ERROR] UDP initialization failed for IP: ") + ip + ":7408"));
    }
    ASSERT_TRUE(configure(kTamsel, receiver));
    for (const auto& [ip, reason] : unusable) {
        SCOPED_TRACE(ip);
        log().clear();
        EXPECT_FALSE(lib().SetUdpEndpoint(ip, 7408));
        EXPECT_EQ(log().callerTexts(), std::vector<std::string>{std::string("[Ridova][ERROR] UDPTransportLayer setTarget "
                                                                            "unusable IP: ") +
                                                                ip + " (" + reason + ")"});
        // The old target stays in force.
        lib().ResetPosition();
        EXPECT_EQ(nextFrame(receiver), expectedFrame(0, 0, 0, 0));
    }
}
