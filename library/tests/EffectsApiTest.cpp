// The effects exports of the real shared library against loopback test
// devices. Configuration binds the fixed UDP port 8410.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <future>
#include <thread>

#include "EffectsController.h"
#include "Karvel.h"
#include "support/LoadedKarvel.h"
#include "support/ModbusTestServer.h"
#include "support/ProcessStats.h"
#include "support/Timing.h"
#include "support/UdpReceiver.h"

using karvel::test::Bytes;
using karvel::test::mbapPdu;
using karvel::test::rtuPdu;
using karvel::test::LogCapture;
using karvel::test::ModbusTestServer;
using karvel::test::UdpReceiver;
using Behaviour = ModbusTestServer::Behaviour;
using Framing = ModbusTestServer::Framing;

namespace {

constexpr int kOrvida = 1;
constexpr const char* kLoopback = "127.0.0.1";

class EffectsApi : public ::testing::Test {
protected:
    void SetUp() override {
        lib().Release();
        log().clear();
    }
    void TearDown() override { lib().Release(); }
    static karvel::host::KarvelLibrary& lib() { return karvel::test::karvelLibrary(); }
    static LogCapture& log() { return LogCapture::instance(); }

    bool configure(int model = kOrvida, int enableEffects = 1) {
        return lib().SetConfiguration(model, kLoopback, motion.port(), enableEffects, kLoopback, relay.port(),
                                      kLoopback, speed.port());
    }

    UdpReceiver motion;
    ModbusTestServer relay{Framing::Mbap};
    ModbusTestServer speed{Framing::Rtu};
};


} // namespace

TEST_F(EffectsApi, EffectCallsReachTheDevices) {
    ASSERT_TRUE(configure());
    EXPECT_TRUE(log().contains("[Ridova][INFO] Effects initialized successfully."));
    lib().SetWindSpeed(3);
    lib().SetWaterMist(2);
    lib().SetScent(1);
    lib().SetHeater(5);
    ASSERT_TRUE(relay.waitForRequests(3));
    ASSERT_TRUE(speed.waitForRequests(1));
    EXPECT_EQ(speed.holdingRegister(3), 100);
    EXPECT_EQ(relay.coils(4, 7), (std::vector<bool>{true, false, true, false, true, false, true}));
    EXPECT_TRUE(relay.coil(15));
    for (const char* line : {"[Ridova][DEBUG] setWindSpeed: 3", "[Ridova][DEBUG] setWaterMist: 2",
                             "[Ridova][DEBUG] setScent: 1", "[Ridova][DEBUG] setHeater: 1"})
        EXPECT_TRUE(log().contains(line)) << line;

    // Wind 4 (speed value 0) may be superseded by the off that follows it, never the off.
    lib().SetWindSpeed(4);
    lib().TurnOffAllEffects();
    ASSERT_TRUE(relay.waitForRequests(6));
    EXPECT_TRUE(log().contains("[Ridova][DEBUG] turnOffAllEffects called"));
    EXPECT_EQ(rtuPdu(speed.requests().back()), (Bytes{0x06, 0x00, 0x03, 0x00, 0x00}));
    const std::vector<Bytes> requests = relay.requests();
    EXPECT_EQ(mbapPdu(requests[3]), (Bytes{0x0F, 0x00, 0x04, 0x00, 0x04, 0x01, 0x00}));
    EXPECT_EQ(mbapPdu(requests[4]), (Bytes{0x0F, 0x00, 0x08, 0x00, 0x03, 0x01, 0x00}));
    EXPECT_EQ(mbapPdu(requests[5]), (Bytes{0x05, 0x00, 0x0F, 0x00, 0x00}));
}

TEST_F(EffectsApi, TurnOffFollowedByReleaseStillReachesTheDevices) {
    ASSERT_TRUE(configure());
    lib().SetHeater(1);
    lib().SetWaterMist(3);
    lib().TurnOffAllEffects();
    log().clear();
    lib().Release();
    EXPECT_FALSE(relay.coil(15));
    EXPECT_EQ(relay.coils(4, 4), std::vector<bool>(4, false));
    EXPECT_EQ(speed.holdingRegister(3), 0);
    // The off's three relay writes, after what of the heater and water mist was not superseded.
    EXPECT_GE(relay.requestCount(), 3u);
    EXPECT_LE(relay.requestCount(), 5u);
    // The effects side goes first.
    std::vector<std::string> released;
    for (const std::string& line : log().texts())
        if (line.find("released") != std::string::npos) released.push_back(line);
    EXPECT_EQ(released, (std::vector<std::string>{"[Ridova][INFO] EffectsController released",
                                                  "[Ridova][INFO] UDPTransportLayer released"}));
}

TEST_F(EffectsApi, WithoutEffectsNothingIsQueued) {
    ASSERT_TRUE(configure(kOrvida, 0));
    EXPECT_TRUE(log().contains("[Ridova][INFO] Effects disabled."));
    log().clear();
    lib().SetWindSpeed(3);
    lib().SetHeater(1);
    lib().TurnOffAllEffects();
    EXPECT_TRUE(log().callerTexts().empty());
    EXPECT_FALSE(lib().SetEffectsEndpoints(kLoopback, relay.port(), kLoopback, speed.port()));
    EXPECT_TRUE(log().contains("[Ridova][ERROR] setEffectsEndpoints called while effects are disabled"));
    EXPECT_EQ(relay.connectionsAccepted() + speed.connectionsAccepted(), 0);
}

TEST_F(EffectsApi, EndpointValidation) {
    ASSERT_TRUE(configure());
    struct Case {
        const char* relayIp;
        int relayPort;
        const char* speedIp;
        int speedPort;
        std::string line;
    };
    const Case cases[] = {
        {"192.168.15.7", 0, "192.168.15.8", 8234, "[Ridova][ERROR] setEffectsEndpoints invalid port: relay=0 speed=8234"},
        {"192.168.15.7", 8234, "192.168.15.8", 65536,
         "[Ridova][ERROR] setEffectsEndpoints invalid port: relay=8234 speed=65536"},
        {"bad", -1, "bad", 0, "[Ridova][ERROR] setEffectsEndpoints invalid port: relay=-1 speed=0"},
        {"192.168.15", 8234, "192.168.15.8", 8234,
         "[Ridova][ERROR] setEffectsEndpoints invalid IP: relay=192.168.15 speed=192.168.15.8"},
        {"", 8234, "192.168.15.8", 8234, "[Ridova][ERROR] setEffectsEndpoints invalid IP: relay= speed=192.168.15.8"},
        {"192.168.15.7", 8234, "localhost", 8234,
         "[Ridova][ERROR] setEffectsEndpoints invalid IP: relay=192.168.15.7 speed=localhost"},
        {"192.168.15.7", 8234, "192.168.15.7", 8234,
         "[Ridova][ERROR] setEffectsEndpoints requires distinct relay/speed endpoints (MBAP vs RTU-over-TCP)"},
    };
    for (const Case& c : cases) {
        log().clear();
        EXPECT_FALSE(lib().SetEffectsEndpoints(c.relayIp, c.relayPort, c.speedIp, c.speedPort));
        EXPECT_EQ(log().linesStartingWith("[Ridova][ERROR]"), std::vector<std::string>{c.line});
    }
    log().clear();
    EXPECT_FALSE(lib().SetEffectsEndpoints(nullptr, 8234, kLoopback, 8235));
    EXPECT_FALSE(lib().SetEffectsEndpoints(kLoopback, 8234, nullptr, 8235));
    EXPECT_EQ(log().linesStartingWith("[Ridova][ERROR]"),
              (std::vector<std::string>{"[Ridova][ERROR] Ridova_SetEffectsEndpoints refused: relayIp is a null pointer",
                                        "[Ridova][ERROR] Ridova_SetEffectsEndpoints refused: speedIp is a null pointer"}));
    // Same address, different ports passes the checks (and then fails to connect).
    const int refused = karvel::test::unusedTcpPort();
    EXPECT_FALSE(lib().SetEffectsEndpoints(kLoopback, refused, kLoopback, refused + 1));
    EXPECT_TRUE(log().contains(
        "[Ridova][ERROR] setEffectsEndpoints failed: relay controller connection failed"));
    // The pair in force still works.
    lib().SetHeater(1);
    ASSERT_TRUE(relay.waitForRequests(1));
}

TEST_F(EffectsApi, UnreachableDevicesCanBeCorrectedLater) {
    const int refused = karvel::test::unusedTcpPort();
    ASSERT_TRUE(lib().SetConfiguration(0, kLoopback, motion.port(), 1, kLoopback, refused, kLoopback, speed.port()));
    EXPECT_TRUE(log().contains("[Ridova][ERROR] Effects initialization failed; endpoints can still be corrected with "
                               "setEffectsEndpoints. RelayIP=127.0.0.1, RelayPort=" +
                               std::to_string(refused)));
    ASSERT_TRUE(lib().SetEffectsEndpoints(kLoopback, relay.port(), kLoopback, speed.port()));
    lib().SetWindSpeed(2);
    ASSERT_TRUE(speed.waitForRequests(1));
    EXPECT_EQ(speed.holdingRegister(3), 70);
    // Ports a socket cannot carry are refused rather than cut to 16 bits.
    log().clear();
    ASSERT_TRUE(lib().SetConfiguration(kOrvida, kLoopback, motion.port(), 1, kLoopback, relay.port() + 65536, kLoopback,
                                       speed.port()));
    EXPECT_FALSE(log().linesStartingWith("[Ridova][ERROR] EffectsController invalid port: relay=").empty());
    EXPECT_FALSE(log().linesStartingWith("[Ridova][ERROR] Effects initialization failed;").empty());
}

TEST_F(EffectsApi, FailedMotionConfigurationKeepsTheEffects) {
    ASSERT_TRUE(configure());
    EXPECT_FALSE(lib().SetConfiguration(kOrvida, "not an address", 7408, 1, kLoopback, 1, kLoopback, 2));
    lib().SetHeater(1);
    ASSERT_TRUE(relay.waitForRequests(1));
    EXPECT_TRUE(relay.coil(15));
}

TEST_F(EffectsApi, ReleaseWithAJobOnASilentDeviceIsBounded) {
    ASSERT_TRUE(configure());
    relay.misbehave(Behaviour::Silent, 1000);
    lib().SetHeater(1);
    lib().SetWaterMist(1);
    lib().SetScent(1);
    ASSERT_TRUE(relay.waitForRequests(1));
    const auto start = std::chrono::steady_clock::now();
    lib().Release();
    EXPECT_LT(std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count(), 10.0);
}

TEST_F(EffectsApi, ConfigureReleaseCyclesLeakNothing) {
    ASSERT_TRUE(configure());
    lib().Release();
    const int threads = karvel::test::threadCount();
    const int handles = karvel::test::openHandleCount();
    for (int i = 0; i < 50; ++i) {
        ASSERT_TRUE(configure()) << i;
        lib().SetHeater(i % 2);
        lib().Release();
    }
    EXPECT_LE(karvel::test::threadCountBackTo(threads), threads);
    EXPECT_LE(karvel::test::openHandleCountBackTo(handles), handles);
    // Every release ran the job queued before it.
    EXPECT_EQ(relay.requestCount(), 50u);
    EXPECT_TRUE(relay.coil(15));
}

// A game that sets the water mist every frame while the relay board takes
// 50 ms a write: release stays short, and the off asked for last is what the
// devices hold when it returns.
TEST_F(EffectsApi, ReleaseAfterASixtyHertzStreamOnSlowDevicesIsShortAndLeavesThemOff) {
    ASSERT_TRUE(configure());
    relay.answerAfter(50);
    speed.answerAfter(50);
    karvel::test::atSixtyHertz(3.0, [](int n) {
        lib().SetWaterMist(n % 4);
        lib().SetHeater(n % 2);
    });
    lib().TurnOffAllEffects();
    const auto start = std::chrono::steady_clock::now();
    lib().Release();
    EXPECT_LT(karvel::test::secondsSince(start), karvel::EffectsController::kStopTimeoutMs / 1000.0 + 1.0);
    EXPECT_EQ(relay.coils(4, 12), std::vector<bool>(12, false));
    EXPECT_EQ(speed.holdingRegister(3), 0);
    EXPECT_TRUE(log().linesStartingWith("[Ridova][ERROR]").empty());
}

TEST_F(EffectsApi, SwitchAwayFromDevicesThatNoLongerAnswerReturnsPromptly) {
    ASSERT_TRUE(configure());
    relay.misbehave(Behaviour::Silent, 1000000);
    speed.misbehave(Behaviour::Silent, 1000000);
    lib().SetHeater(1);
    ASSERT_TRUE(relay.waitForRequests(1)); // the worker now waits on the old relay board
    karvel::test::EffectsDevices next;
    const auto start = std::chrono::steady_clock::now();
    ASSERT_TRUE(lib().SetEffectsEndpoints(kLoopback, next.relay.port(), kLoopback, next.speed.port()));
    // Two connects on loopback; waiting for the silent old pair would take at
    // least the time its turn-off is allowed, however loaded the machine.
    EXPECT_LT(karvel::test::secondsSince(start), karvel::EffectsController::kRetireTimeoutMs / 1000.0);
    lib().SetWindSpeed(3);
    EXPECT_TRUE(next.speed.waitUntil([&] { return next.speed.holdingRegister(3) == 100; }, 20000));
    EXPECT_TRUE(log().waitFor("[Ridova][ERROR] EffectsController old endpoints not turned off: relay=127.0.0.1:" +
                              std::to_string(relay.port()) + " speed=127.0.0.1:" + std::to_string(speed.port())));
}

namespace {

// Holds an endpoint switch in its connect to the new relay board until another
// thread has made its call: that call lands in the middle of the switch.
struct SwitchRendezvous {
    std::string connectLine;
    std::atomic<bool> armed{true};
    std::promise<void> reached;
    std::promise<void> called;
};
// Workers log through the callback too, also while it is being replaced.
std::atomic<SwitchRendezvous*> rendezvous{nullptr};

void holdTheSwitch(int level, const char* line) {
    LogCapture::callback(level, line);
    SwitchRendezvous* meeting = rendezvous.load();
    if (meeting != nullptr && meeting->connectLine == line && meeting->armed.exchange(false)) {
        meeting->reached.set_value();
        meeting->called.get_future().wait_for(std::chrono::seconds(30));
    }
}

} // namespace

TEST_F(EffectsApi, TurnOffAllEffectsFromAnotherThreadDuringASwitchReachesTheNewPair) {
    ASSERT_TRUE(configure());
    karvel::test::EffectsDevices next;
    static SwitchRendezvous meeting; // outlives a log line still on its way through the callback
    meeting.connectLine = "[Ridova][DEBUG] ModbusTcpClient connecting to 127.0.0.1:" + std::to_string(next.relay.port()) +
                          " (Modbus-TCP)";
    rendezvous.store(&meeting);
    lib().SetLogCallback(&holdTheSwitch);
    std::thread other([&] {
        if (meeting.reached.get_future().wait_for(std::chrono::seconds(30)) == std::future_status::ready)
            lib().TurnOffAllEffects();
        meeting.called.set_value();
    });
    const bool switched = lib().SetEffectsEndpoints(kLoopback, next.relay.port(), kLoopback, next.speed.port());
    other.join();
    lib().SetLogCallback(&LogCapture::callback);
    rendezvous.store(nullptr);
    ASSERT_TRUE(switched);
    EXPECT_FALSE(meeting.armed);
    ASSERT_TRUE(next.relay.waitForRequests(3));
    ASSERT_TRUE(next.speed.waitForRequests(1));
    const std::vector<Bytes> offs = next.relay.requests();
    EXPECT_EQ(mbapPdu(offs[0]), (Bytes{0x0F, 0x00, 0x04, 0x00, 0x04, 0x01, 0x00}));
    EXPECT_EQ(mbapPdu(offs[1]), (Bytes{0x0F, 0x00, 0x08, 0x00, 0x03, 0x01, 0x00}));
    EXPECT_EQ(mbapPdu(offs[2]), (Bytes{0x05, 0x00, 0x0F, 0x00, 0x00}));
    EXPECT_EQ(rtuPdu(next.speed.requests()[0]), (Bytes{0x06, 0x00, 0x03, 0x00, 0x00}));
}
