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
    ASSERT_TRUE(speed.waitUntil([&] { return speed.holdingRegister(3) == 0; }));
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
        {"0.0.0.0", 8234, "192.168.15.8", 8234,
         "[Ridova][ERROR] setEffectsEndpoints unusable IP: relay=0.0.0.0 speed=192.168.15.8 (no host)"},
        {"192.168.15.7", 8234, "255.255.255.255", 8234,
         "[Ridova][ERROR] setEffectsEndpoints unusable IP: relay=192.168.15.7 speed=255.255.255.255 (broadcast)"},
        {"239.1.2.3", 8234, "192.168.15.8", 8234,
         "[Ridova][ERROR] setEffectsEndpoints unusable IP: relay=239.1.2.3 speed=192.168.15.8 (multicast)"},
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
    EXPECT_TRUE(speed.waitUntil([&] { return speed.holdingRegister(3) == 70; }));
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
    EXPECT_LT(karvel::test::secondsSince(start), karvel::EffectsDevice::kTurnOffTimeoutMs / 1000.0);
    lib().SetWindSpeed(3);
    EXPECT_TRUE(next.speed.waitUntil([&] { return next.speed.holdingRegister(3) == 100; }, 20000));
    EXPECT_TRUE(log().waitFor("[Ridova][ERROR] EffectsController old relay board not turned off: 127.0.0.1:" +
                              std::to_string(relay.port())));
    EXPECT_TRUE(log().waitFor("[Ridova][ERROR] EffectsController old fan speed controller not turned off: 127.0.0.1:" +
                              std::to_string(speed.port())));
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

namespace {

const std::vector<bool> kRelayOff(12, false); // coils 4..15: water mist, scent and the heater

// Wind 3, water mist 3, scent 1 and the heater on, as the devices hold them.
::testing::AssertionResult switchOn(const ModbusTestServer& relay, const ModbusTestServer& speed) {
    karvel::test::karvelLibrary().SetWindSpeed(3);
    karvel::test::karvelLibrary().SetWaterMist(3);
    karvel::test::karvelLibrary().SetScent(1);
    karvel::test::karvelLibrary().SetHeater(1);
    const bool on = relay.waitUntil([&] {
        return relay.coils(4, 7) == std::vector<bool>{true, false, false, true, true, false, true} && relay.coil(15);
    }) && speed.waitUntil([&] { return speed.holdingRegister(3) == 100; });
    return on ? ::testing::AssertionSuccess() : ::testing::AssertionFailure() << "the devices did not switch on";
}

bool relayOff(const ModbusTestServer& relay) { return relay.coils(4, 12) == kRelayOff; }

struct SilentDevice {
    const char* name;
    bool relaySilent;
};

class EffectsApiSilentDevice : public EffectsApi, public ::testing::WithParamInterface<SilentDevice> {};

} // namespace

// One device stops answering mid-ride; the game turns everything off and
// releases. The device that answers ends off, whatever the other does, and
// the release stays within the stop time.
TEST_P(EffectsApiSilentDevice, AllOffThenReleaseReachesTheDeviceThatAnswers) {
    const bool relaySilent = GetParam().relaySilent;
    ASSERT_TRUE(configure());
    ASSERT_TRUE(switchOn(relay, speed));
    (relaySilent ? relay : speed).misbehave(Behaviour::Silent, 1000000);
    lib().TurnOffAllEffects();
    const auto start = std::chrono::steady_clock::now();
    lib().Release();
    EXPECT_LT(karvel::test::secondsSince(start), karvel::EffectsController::kStopTimeoutMs / 1000.0 + 1.0);
    if (relaySilent) {
        EXPECT_EQ(speed.holdingRegister(3), 0);
    } else {
        EXPECT_TRUE(relayOff(relay));
    }
    // The silent one is named with what it was not sent.
    const std::string silent = relaySilent ? "relay board" : "fan speed controller";
    const std::string count = relaySilent ? "3" : "1";
    const bool named = log().contains("[Ridova][ERROR] EffectsController stop time-out: " + count +
                                      " queued effect jobs not sent to the " + silent) ||
                       log().contains("[Ridova][ERROR] EffectsController " + silent + " not answering at stop: " + count +
                                      " queued effect jobs not sent");
    EXPECT_TRUE(named);
}

INSTANTIATE_TEST_SUITE_P(EffectsApi, EffectsApiSilentDevice,
                         ::testing::Values(SilentDevice{"FanSilent", false}, SilentDevice{"RelaySilent", true}),
                         [](const ::testing::TestParamInfo<SilentDevice>& param) { return std::string(param.param.name); });

namespace {

struct Reconfiguration {
    const char* name;
    int enableEffects;
};

class EffectsApiReconfiguration : public EffectsApi, public ::testing::WithParamInterface<Reconfiguration> {};

} // namespace

// A new configuration drops the devices of the old one: they are turned off
// before the call returns, and the new devices are left as they are.
TEST_P(EffectsApiReconfiguration, TurnsTheOldDevicesOff) {
    ASSERT_TRUE(configure());
    ASSERT_TRUE(switchOn(relay, speed));
    karvel::test::EffectsDevices next;
    log().clear();
    ASSERT_TRUE(lib().SetConfiguration(kOrvida, kLoopback, motion.port(), GetParam().enableEffects, kLoopback,
                                       next.relay.port(), kLoopback, next.speed.port()));
    EXPECT_TRUE(relayOff(relay));
    EXPECT_EQ(speed.holdingRegister(3), 0);
    EXPECT_TRUE(log().contains("[Ridova][INFO] EffectsController old relay board turned off: 127.0.0.1:" +
                               std::to_string(relay.port())));
    EXPECT_TRUE(log().contains("[Ridova][INFO] EffectsController old fan speed controller turned off: 127.0.0.1:" +
                               std::to_string(speed.port())));
    EXPECT_EQ(next.relay.requestCount() + next.speed.requestCount(), 0u);
    EXPECT_TRUE(log().linesStartingWith("[Ridova][ERROR]").empty());
    // Nothing is left connected to the old devices.
    EXPECT_TRUE(relay.waitUntil([&] { return relay.openConnections() == 0; }));
    EXPECT_TRUE(speed.waitUntil([&] { return speed.openConnections() == 0; }));
}

INSTANTIATE_TEST_SUITE_P(EffectsApi, EffectsApiReconfiguration,
                         ::testing::Values(Reconfiguration{"ToOtherDevices", 1}, Reconfiguration{"WithEffectsDisabled", 0}),
                         [](const ::testing::TestParamInfo<Reconfiguration>& param) {
                             return std::string(param.param.name);
                         });

// The fan speed controller is off when the seat is registered: the relay
// board works at once, and the wind asked meanwhile reaches the fan once it is
// switched on, without another call.
TEST_F(EffectsApi, ConfiguredWhileTheFanIsDownTheRelayWorksAndTheFanGetsItsLevelLater) {
    const int fanPort = karvel::test::unusedTcpPort();
    const std::string fanAt = "127.0.0.1:" + std::to_string(fanPort);
    ASSERT_TRUE(lib().SetConfiguration(kOrvida, kLoopback, motion.port(), 1, kLoopback, relay.port(), kLoopback, fanPort));
    EXPECT_TRUE(log().contains("[Ridova][ERROR] EffectsController connection failed: relay=1 speed=0"));
    EXPECT_TRUE(log().contains("[Ridova][ERROR] Effects initialization failed; endpoints can still be corrected with "
                               "setEffectsEndpoints. RelayIP=127.0.0.1, RelayPort=" +
                               std::to_string(relay.port())));
    EXPECT_TRUE(log().waitFor("[Ridova][ERROR] EffectsController fan speed controller not answering at " + fanAt +
                              ": keeping its latest effect levels, trying again every 1000 ms"));
    lib().SetWindSpeed(3);
    lib().SetHeater(1);
    lib().SetWaterMist(2);
    EXPECT_TRUE(relay.waitUntil([&] { return relay.coil(15) && relay.coils(4, 4) == std::vector<bool>{1, 0, 1, 0}; }));
    // The same endpoints again: in force already, and the fan is still tried on its own.
    EXPECT_TRUE(lib().SetEffectsEndpoints(kLoopback, relay.port(), kLoopback, fanPort));
    ModbusTestServer fan(Framing::Rtu, fanPort);
    EXPECT_TRUE(fan.waitUntil([&] { return fan.holdingRegister(3) == 100; }));
    EXPECT_TRUE(log().waitFor("[Ridova][INFO] EffectsController fan speed controller answering again at " + fanAt));
    lib().TurnOffAllEffects();
    lib().Release();
    EXPECT_TRUE(relayOff(relay));
    EXPECT_EQ(fan.holdingRegister(3), 0);
    EXPECT_EQ(fan.requestCount(), 2u); // the kept wind, then the off
}

// Refusals and broken replies through the library, on both devices: an
// exception reply is named and not retried; a reply that does not answer the
// request is retried once over a fresh connection.
TEST_F(EffectsApi, RefusalsAreNamedAndBadRepliesRetried) {
    ASSERT_TRUE(configure());
    relay.misbehave(Behaviour::IllegalAddress, 1);
    speed.misbehave(Behaviour::Exception, 1);
    lib().SetHeater(1);
    lib().SetWindSpeed(2);
    ASSERT_TRUE(log().waitFor("[Ridova][ERROR] ModbusTcpClient request failed: relay board, write single coil (0x05): "
                              "exception 0x02 (illegal data address), not retried"));
    ASSERT_TRUE(log().waitFor("[Ridova][ERROR] ModbusTcpClient request failed: fan speed controller, write single "
                              "register (0x06): exception 0x04 (server device failure), not retried"));
    EXPECT_FALSE(relay.coil(15));
    EXPECT_EQ(speed.holdingRegister(3), 0);
    // Mismatched replies: another unit, an empty PDU; another function, another
    // value echoed. A device holds what it was told before its reply goes wrong:
    // each step waits for the retry too.
    relay.misbehave(Behaviour::WrongUnit, 1);
    lib().SetWaterMist(1);
    ASSERT_TRUE(relay.waitForRequests(3));
    relay.misbehave(Behaviour::ShortLength, 1);
    lib().SetScent(2);
    ASSERT_TRUE(relay.waitForRequests(5));
    speed.misbehave(Behaviour::WrongFunction, 1);
    lib().SetWindSpeed(3);
    ASSERT_TRUE(speed.waitForRequests(3));
    speed.misbehave(Behaviour::WrongEcho, 1);
    lib().SetWindSpeed(1);
    ASSERT_TRUE(speed.waitForRequests(5));
    lib().Release();
    // One request each for the refusals (on the connection they came on), two each for the bad replies.
    EXPECT_EQ(relay.requestCount(), 1u + 2u + 2u);
    EXPECT_EQ(speed.requestCount(), 1u + 2u + 2u);
    EXPECT_EQ(relay.connectionsAccepted(), 3);
    EXPECT_EQ(speed.connectionsAccepted(), 3);
    EXPECT_FALSE(relay.coil(15));
    EXPECT_EQ(relay.coils(4, 7), (std::vector<bool>{1, 1, 0, 0, 0, 1, 1}));
    EXPECT_EQ(speed.holdingRegister(3), 50);
    for (const char* line : {"[Ridova][ERROR] ModbusTcpClient reply from unit 7, expected 1. Retry=0",
                             "[Ridova][ERROR] ModbusTcpClient reply PDU of 0 bytes, expected 5. Retry=0",
                             "[Ridova][ERROR] ModbusTcpClient reply for function 0x05, expected 0x06. Retry=0",
                             "[Ridova][ERROR] ModbusTcpClient reply echoes address 4 value 50, expected address 3 value "
                             "50. Retry=0"})
        EXPECT_TRUE(log().contains(line)) << line;
}

// Configuration checks the effects endpoints as the endpoint switch does: the
// motion side is configured, the effects controller runs without links, and
// the switch can point it at working devices later.
TEST_F(EffectsApi, ConfigurationRefusesEffectsEndpointsTheSwitchRefuses) {
    struct Case {
        const char* relayIp;
        int relayPort;
        const char* speedIp;
        int speedPort;
        std::string line;
    };
    const Case cases[] = {
        {"0.0.0.0", relay.port(), kLoopback, speed.port(),
         "[Ridova][ERROR] EffectsController unusable IP: relay=0.0.0.0 speed=127.0.0.1 (no host)"},
        {kLoopback, relay.port(), kLoopback, relay.port(),
         "[Ridova][ERROR] EffectsController requires distinct relay/speed endpoints (MBAP vs RTU-over-TCP)"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.line);
        log().clear();
        ASSERT_TRUE(lib().SetConfiguration(kOrvida, kLoopback, motion.port(), 1, c.relayIp, c.relayPort, c.speedIp,
                                           c.speedPort));
        EXPECT_EQ(log().linesStartingWith("[Ridova][ERROR]").at(0), c.line);
        EXPECT_FALSE(log().linesStartingWith("[Ridova][ERROR] Effects initialization failed;").empty());
        lib().ResetPosition();
        EXPECT_TRUE(motion.receive().has_value());
    }
    EXPECT_EQ(relay.connectionsAccepted() + speed.connectionsAccepted(), 0);
    ASSERT_TRUE(lib().SetEffectsEndpoints(kLoopback, relay.port(), kLoopback, speed.port()));
    lib().SetHeater(1);
    EXPECT_TRUE(relay.waitUntil([&] { return relay.coil(15); }));
}
