// The effects controller against two loopback test devices: a relay board in
// the socket framing and a fan speed controller in the RTU framing.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>

#include "EffectsController.h"
#include "Karvel.h"
#include "SeatController.h"
#include "support/LineGate.h"
#include "support/LogCapture.h"
#include "support/ModbusTestServer.h"
#include "support/Timing.h"

using karvel::EffectsController;
using karvel::EffectsEndpoints;
using karvel::test::Bytes;
using karvel::test::mbapPdu;
using karvel::test::rtuPdu;
using karvel::test::LogCapture;
using karvel::test::ModbusTestServer;
using karvel::test::atSixtyHertz;
using karvel::test::secondsSince;
using Behaviour = ModbusTestServer::Behaviour;
using Framing = ModbusTestServer::Framing;

namespace {

struct Devices : karvel::test::EffectsDevices {
    EffectsEndpoints endpoints() const { return {"127.0.0.1", relay.port(), "127.0.0.1", speed.port()}; }
};

class EffectsControllerTest : public ::testing::Test {
protected:
    void SetUp() override {
        Ridova_SetLogCallback(&LogCapture::callback);
        log().clear();
    }
    void TearDown() override {
        effects.shutdown();
        Ridova_SetLogCallback(nullptr);
    }
    static LogCapture& log() { return LogCapture::instance(); }

    Devices devices;
    EffectsController effects;
};


std::vector<bool> bits(std::initializer_list<int> values) {
    std::vector<bool> result;
    for (int v : values) result.push_back(v != 0);
    return result;
}

} // namespace

TEST_F(EffectsControllerTest, DeviceMap) {
    ASSERT_TRUE(effects.initialize(devices.endpoints()));
    const int windLevels[] = {1, 2, 3, 5, -1, 0};
    const std::uint16_t fanValues[] = {50, 70, 100, 0, 0, 0};
    for (std::size_t i = 0; i < 6; ++i) {
        effects.setWindSpeed(windLevels[i]);
        ASSERT_TRUE(devices.speed.waitForRequests(i + 1));
        EXPECT_EQ(rtuPdu(devices.speed.requests()[i]), (Bytes{0x06, 0x00, 0x03, 0x00, static_cast<std::uint8_t>(fanValues[i])}))
            << "level " << windLevels[i];
    }
    struct CoilCase {
        void (EffectsController::*call)(int);
        int level;
        int firstCoil;
        std::vector<bool> states;
    };
    const CoilCase cases[] = {
        {&EffectsController::setWaterMist, 1, 4, bits({1, 1, 0, 0})}, {&EffectsController::setWaterMist, 2, 4, bits({1, 0, 1, 0})},
        {&EffectsController::setWaterMist, 3, 4, bits({1, 0, 0, 1})}, {&EffectsController::setWaterMist, 9, 4, bits({1, 0, 0, 0})},
        {&EffectsController::setWaterMist, 0, 4, bits({0, 0, 0, 0})}, {&EffectsController::setScent, 1, 8, bits({1, 0, 1})},
        {&EffectsController::setScent, 2, 8, bits({0, 1, 1})},        {&EffectsController::setScent, 3, 8, bits({0, 0, 1})},
        {&EffectsController::setScent, 0, 8, bits({0, 0, 0})},
    };
    std::size_t sent = 0;
    for (const CoilCase& c : cases) {
        (effects.*c.call)(c.level);
        ASSERT_TRUE(devices.relay.waitForRequests(++sent));
        const Bytes pdu = mbapPdu(devices.relay.requests().back());
        EXPECT_EQ(pdu[0], 0x0F);
        EXPECT_EQ(pdu[2], c.firstCoil);
        EXPECT_EQ(pdu[4], c.states.size());
        EXPECT_EQ(devices.relay.coils(c.firstCoil, static_cast<int>(c.states.size())), c.states) << "level " << c.level;
    }
    effects.setHeater(true);
    ASSERT_TRUE(devices.relay.waitForRequests(++sent));
    EXPECT_EQ(mbapPdu(devices.relay.requests().back()), (Bytes{0x05, 0x00, 0x0F, 0xFF, 0x00}));
    EXPECT_TRUE(devices.relay.coil(15));
}

TEST_F(EffectsControllerTest, ABurstBehindASlowRequestCollapsesToTheLastState) {
    ASSERT_TRUE(effects.initialize(devices.endpoints()));
    // The relay board's worker sits in a request that gets no answer (two attempts, 2 s) while the burst comes.
    devices.relay.misbehave(Behaviour::Silent, 2);
    effects.setHeater(true);
    ASSERT_TRUE(devices.relay.waitForRequests(1));
    for (int i = 0; i < 1000; ++i) effects.setHeater(i % 2 == 0);
    // The unanswered request, its retry, then the last state asked: heater off. One request, not a thousand.
    ASSERT_TRUE(devices.relay.waitUntil([&] { return devices.relay.requestCount() == 3; }));
    EXPECT_FALSE(devices.relay.coil(15));
    effects.shutdown();
    EXPECT_EQ(devices.relay.requestCount(), 3u);
    EXPECT_EQ(devices.speed.requestCount(), 0u);
}

// The worker of one device is held where it starts a request (its log line):
// the other device's calls still land, and its all-off too.
struct HeldDevice {
    const char* name;
    const char* heldLine; // the held device's request line
    bool relayHeld;
};

class EffectsIndependence : public EffectsControllerTest, public ::testing::WithParamInterface<HeldDevice> {
protected:
    void TearDown() override {
        karvel::test::LineGate::instance().open();
        EffectsControllerTest::TearDown();
    }
};

TEST_P(EffectsIndependence, AHeldDeviceNeverDelaysTheOther) {
    const HeldDevice& c = GetParam();
    ASSERT_TRUE(effects.initialize(devices.endpoints()));
    karvel::test::LineGate& gate = karvel::test::LineGate::instance();
    Ridova_SetLogCallback(&karvel::test::LineGate::callback);
    gate.arm(c.heldLine);
    if (c.relayHeld) {
        effects.setHeater(true);
    } else {
        effects.setWindSpeed(3);
    }
    ASSERT_TRUE(gate.waitHeld());
    // The other device: a level, then the all-off.
    ModbusTestServer& other = c.relayHeld ? devices.speed : devices.relay;
    if (c.relayHeld) {
        effects.setWindSpeed(2);
        EXPECT_TRUE(other.waitUntil([&] { return other.holdingRegister(3) == 70; }));
    } else {
        effects.setWaterMist(3);
        effects.setHeater(true);
        EXPECT_TRUE(other.waitUntil([&] { return other.coil(7) && other.coil(15); }));
    }
    effects.turnOffAll();
    EXPECT_TRUE(other.waitUntil([&] {
        return other.holdingRegister(3) == 0 && other.coils(4, 12) == std::vector<bool>(12, false);
    }));
    // The held device has not been reached meanwhile; once let go, it ends off too.
    ModbusTestServer& held = c.relayHeld ? devices.relay : devices.speed;
    EXPECT_EQ(held.requestCount(), 0u);
    gate.open();
    effects.shutdown();
    EXPECT_EQ(held.coils(4, 12), std::vector<bool>(12, false));
    EXPECT_EQ(held.holdingRegister(3), 0);
}

INSTANTIATE_TEST_SUITE_P(
    Effects, EffectsIndependence,
    ::testing::Values(HeldDevice{"RelayBoardHeld", "[Ridova][DEBUG] ModbusTcpClient sendRequest slave=1 pduLen=5 (Modbus-TCP)", true},
                      HeldDevice{"FanSpeedControllerHeld",
                                 "[Ridova][DEBUG] ModbusTcpClient sendRequest slave=1 pduLen=5 (RTU-over-TCP)", false}),
    [](const ::testing::TestParamInfo<HeldDevice>& param) { return std::string(param.param.name); });

TEST_F(EffectsControllerTest, InitializeTwiceAndReconfigureWhileStopped) {
    std::string error;
    EXPECT_FALSE(effects.reconfigure(devices.endpoints(), error));
    EXPECT_EQ(error, "effects are not enabled");
    ASSERT_TRUE(effects.initialize(devices.endpoints()));
    EXPECT_TRUE(effects.initialize({"127.0.0.1", 1, "127.0.0.1", 2}));
    EXPECT_TRUE(log().contains("[Ridova][DEBUG] EffectsController::initialize ignored: already running"));
    // The same endpoints again: nothing to do, no new connection.
    log().clear();
    EXPECT_TRUE(effects.reconfigure(devices.endpoints(), error));
    EXPECT_TRUE(log().callerTexts().empty());
    EXPECT_TRUE(devices.relay.waitUntil([&] { return devices.relay.connectionsAccepted() == 1; }));
    effects.shutdown();
    effects.shutdown();
    effects.setHeater(true); // stopped: discarded
    ASSERT_TRUE(effects.initialize(devices.endpoints()));
    effects.setHeater(true);
    ASSERT_TRUE(devices.relay.waitForRequests(1));
}

// Endpoints no device can have: both devices run without a link, their calls
// are dropped with an ERROR line, and a switch can still give them working ones.
struct RefusedEndpoints {
    const char* name;
    EffectsEndpoints endpoints;
    const char* line;
};

class EffectsRefusedEndpoints : public EffectsControllerTest, public ::testing::WithParamInterface<RefusedEndpoints> {};

TEST_P(EffectsRefusedEndpoints, LeaveBothDevicesWithoutALink) {
    const RefusedEndpoints& c = GetParam();
    EXPECT_FALSE(effects.initialize(c.endpoints));
    EXPECT_EQ(log().linesStartingWith("[Ridova][ERROR]"),
              (std::vector<std::string>{c.line, "[Ridova][ERROR] EffectsController connection failed: relay=0 speed=0"}));
    log().clear();
    effects.setHeater(true);
    effects.setWindSpeed(2);
    EXPECT_EQ(log().linesStartingWith("[Ridova][ERROR]"),
              (std::vector<std::string>{"[Ridova][ERROR] EffectsController relay board has no endpoint: effect call dropped",
                                        "[Ridova][ERROR] EffectsController fan speed controller has no endpoint: effect "
                                        "call dropped"}));
    std::string error;
    ASSERT_TRUE(effects.reconfigure(devices.endpoints(), error)) << error;
    effects.setHeater(true);
    effects.setWindSpeed(2);
    EXPECT_TRUE(devices.relay.waitUntil([&] { return devices.relay.coil(15); }));
    EXPECT_TRUE(devices.speed.waitUntil([&] { return devices.speed.holdingRegister(3) == 70; }));
    // What was dropped stays dropped: one request each.
    effects.shutdown();
    EXPECT_EQ(devices.relay.requestCount(), 1u);
    EXPECT_EQ(devices.speed.requestCount(), 1u);
}

INSTANTIATE_TEST_SUITE_P(
    Effects, EffectsRefusedEndpoints,
    ::testing::Values(
        RefusedEndpoints{"PortsOutOfRange", {"127.0.0.1", 0, "127.0.0.1", 70000},
                         "[Ridova][ERROR] EffectsController invalid port: relay=0 speed=70000"},
        RefusedEndpoints{"NoHost", {"0.0.0.0", 502, "127.0.0.1", 503},
                         "[Ridova][ERROR] EffectsController unusable IP: relay=0.0.0.0 speed=127.0.0.1 (no host)"},
        RefusedEndpoints{"Multicast", {"127.0.0.1", 502, "224.0.0.9", 503},
                         "[Ridova][ERROR] EffectsController unusable IP: relay=127.0.0.1 speed=224.0.0.9 (multicast)"},
        RefusedEndpoints{"NotAnAddress", {"127.0.0.1", 502, "fan.local", 503},
                         "[Ridova][ERROR] EffectsController invalid IP: relay=127.0.0.1 speed=fan.local"},
        RefusedEndpoints{"OneEndpointForBoth", {"127.0.0.1", 502, "127.0.0.1", 502},
                         "[Ridova][ERROR] EffectsController requires distinct relay/speed endpoints (MBAP vs "
                         "RTU-over-TCP)"}),
    [](const ::testing::TestParamInfo<RefusedEndpoints>& param) { return std::string(param.param.name); });

// A device that is down when the controller starts: the other works at once,
// and the latest level of each effect of the down one reaches it once it is
// up, without another call.
TEST_F(EffectsControllerTest, ADeviceDownAtStartGetsItsKeptLevelsOnceUp) {
    const int relayPort = karvel::test::unusedTcpPort();
    const std::string relayAt = "127.0.0.1:" + std::to_string(relayPort);
    EXPECT_FALSE(effects.initialize({"127.0.0.1", relayPort, "127.0.0.1", devices.speed.port()}));
    EXPECT_TRUE(log().contains("[Ridova][ERROR] EffectsController connection failed: relay=0 speed=1"));
    EXPECT_TRUE(log().waitFor("[Ridova][ERROR] EffectsController relay board not answering at " + relayAt +
                              ": keeping its latest effect levels, trying again every 1000 ms"));
    effects.setHeater(true);
    effects.setWaterMist(1);
    effects.setWaterMist(2);
    effects.setWindSpeed(3);
    EXPECT_TRUE(devices.speed.waitUntil([&] { return devices.speed.holdingRegister(3) == 100; }));
    // Tried again at most once a second meanwhile.
    ASSERT_TRUE(log().waitFor("[Ridova][ERROR] ModbusTcpClient request failed: relay board, write single coil (0x05): "
                              "not connected"));
    ModbusTestServer relay(Framing::Mbap, relayPort);
    EXPECT_TRUE(relay.waitUntil([&] { return relay.coil(15) && relay.coils(4, 4) == bits({1, 0, 1, 0}); }));
    EXPECT_TRUE(log().waitFor("[Ridova][INFO] EffectsController relay board answering again at " + relayAt));
    // What was kept, once each: the heater, then the last water mist level.
    effects.shutdown();
    const std::vector<Bytes> requests = relay.requests();
    ASSERT_EQ(requests.size(), 2u);
    EXPECT_EQ(mbapPdu(requests[0]), (Bytes{0x05, 0x00, 0x0F, 0xFF, 0x00}));
    EXPECT_EQ(mbapPdu(requests[1]), (Bytes{0x0F, 0x00, 0x04, 0x00, 0x04, 0x01, 0x05}));
    EXPECT_EQ(devices.speed.requestCount(), 1u);
}

// A device that goes away while the seat runs and comes back on its port:
// the calls made meanwhile reach it, the other device meanwhile works.
struct Outage {
    const char* name;
    bool relayDown;
};

class EffectsOutage : public EffectsControllerTest, public ::testing::WithParamInterface<Outage> {};

TEST_P(EffectsOutage, ADeviceDownThenUpGetsTheLevelsAskedMeanwhile) {
    const bool relayDown = GetParam().relayDown;
    auto down = std::make_unique<ModbusTestServer>(relayDown ? Framing::Mbap : Framing::Rtu);
    ModbusTestServer& up = relayDown ? devices.speed : devices.relay;
    const int port = down->port();
    const EffectsEndpoints endpoints = relayDown ? EffectsEndpoints{"127.0.0.1", port, "127.0.0.1", up.port()}
                                                 : EffectsEndpoints{"127.0.0.1", up.port(), "127.0.0.1", port};
    ASSERT_TRUE(effects.initialize(endpoints));
    down.reset();
    const auto callBoth = [&](int level) {
        effects.setWindSpeed(level);
        effects.setScent(level);
    };
    callBoth(1);
    const char* name = relayDown ? "relay board" : "fan speed controller";
    ASSERT_TRUE(log().waitFor(std::string("[Ridova][ERROR] EffectsController ") + name + " not answering at 127.0.0.1:" +
                              std::to_string(port)));
    callBoth(2);
    // The other device keeps up.
    EXPECT_TRUE(up.waitUntil([&] {
        return relayDown ? up.holdingRegister(3) == 70 : up.coils(8, 3) == bits({0, 1, 1});
    }));
    down = std::make_unique<ModbusTestServer>(relayDown ? Framing::Mbap : Framing::Rtu, port);
    EXPECT_TRUE(down->waitUntil([&] {
        return relayDown ? down->coils(8, 3) == bits({0, 1, 1}) : down->holdingRegister(3) == 70;
    }));
    effects.shutdown();
    EXPECT_EQ(down->requestCount(), 1u);
}

INSTANTIATE_TEST_SUITE_P(Effects, EffectsOutage, ::testing::Values(Outage{"RelayBoard", true}, Outage{"FanSpeedController", false}),
                         [](const ::testing::TestParamInfo<Outage>& param) { return std::string(param.param.name); });

TEST_F(EffectsControllerTest, SwitchTurnsTheOldPairOffAndMovesTheJobs) {
    ASSERT_TRUE(effects.initialize(devices.endpoints()));
    effects.setWaterMist(1);
    effects.setScent(2);
    effects.setHeater(true);
    effects.setWindSpeed(3);
    ASSERT_TRUE(devices.relay.waitForRequests(3));
    ASSERT_TRUE(devices.speed.waitForRequests(1));
    Devices next;
    std::string error;
    log().clear();
    ASSERT_TRUE(effects.reconfigure(next.endpoints(), error)) << error;
    // Said before the call returns; the worker may already be at the old pair.
    EXPECT_TRUE(log().contains("[Ridova][INFO] EffectsController endpoints switched: relay=127.0.0.1:" +
                               std::to_string(next.relay.port()) + " speed=127.0.0.1:" +
                               std::to_string(next.speed.port())));
    // Each worker turns its old device off, and says so.
    ASSERT_TRUE(log().waitFor("[Ridova][INFO] EffectsController old relay board turned off: 127.0.0.1:" +
                              std::to_string(devices.relay.port())));
    ASSERT_TRUE(log().waitFor("[Ridova][INFO] EffectsController old fan speed controller turned off: 127.0.0.1:" +
                              std::to_string(devices.speed.port())));
    const std::vector<Bytes> relay = devices.relay.requests();
    ASSERT_EQ(relay.size(), 6u);
    EXPECT_EQ(mbapPdu(relay[3]), (Bytes{0x0F, 0x00, 0x04, 0x00, 0x04, 0x01, 0x00}));
    EXPECT_EQ(mbapPdu(relay[4]), (Bytes{0x0F, 0x00, 0x08, 0x00, 0x03, 0x01, 0x00}));
    EXPECT_EQ(mbapPdu(relay[5]), (Bytes{0x05, 0x00, 0x0F, 0x00, 0x00}));
    EXPECT_EQ(devices.relay.coils(4, 12), std::vector<bool>(12, false));
    EXPECT_EQ(devices.speed.holdingRegister(3), 0);
    EXPECT_EQ(next.relay.requestCount(), 0u);
    EXPECT_EQ(next.speed.requestCount(), 0u);
    effects.setHeater(true);
    ASSERT_TRUE(next.relay.waitForRequests(1));
    EXPECT_TRUE(next.relay.coil(15));
    // Nothing stays connected to the old pair.
    EXPECT_TRUE(devices.relay.waitUntil([&] { return devices.relay.openConnections() == 0; }));
    EXPECT_TRUE(devices.speed.waitUntil([&] { return devices.speed.openConnections() == 0; }));
    EXPECT_EQ(next.relay.openConnections(), 1);
}

// Correcting the endpoint of the device that is down moves that device only:
// the relay board keeps its link and its outputs.
TEST_F(EffectsControllerTest, ASwitchMovesOnlyTheDeviceWhoseEndpointChanges) {
    const int wrongFanPort = karvel::test::unusedTcpPort();
    EXPECT_FALSE(effects.initialize({"127.0.0.1", devices.relay.port(), "127.0.0.1", wrongFanPort}));
    effects.setHeater(true);
    effects.setWindSpeed(3);
    ASSERT_TRUE(devices.relay.waitUntil([&] { return devices.relay.coil(15); }));
    std::string error;
    ASSERT_TRUE(effects.reconfigure(devices.endpoints(), error)) << error;
    EXPECT_TRUE(log().waitFor("[Ridova][ERROR] EffectsController old fan speed controller not turned off: 127.0.0.1:" +
                              std::to_string(wrongFanPort)));
    effects.setWindSpeed(2);
    effects.setWaterMist(1);
    EXPECT_TRUE(devices.speed.waitUntil([&] { return devices.speed.holdingRegister(3) == 70; }));
    EXPECT_TRUE(devices.relay.waitUntil([&] { return devices.relay.coils(4, 4) == bits({1, 1, 0, 0}); }));
    effects.shutdown();
    EXPECT_TRUE(devices.relay.coil(15));
    EXPECT_EQ(devices.relay.requestCount(), 2u);
    EXPECT_EQ(devices.relay.connectionsAccepted(), 1);
    EXPECT_TRUE(log().linesStartingWith("[Ridova][INFO] EffectsController old relay board").empty());
}

TEST_F(EffectsControllerTest, FailedSwitchKeepsThePairAndItsQueuedJobs) {
    ASSERT_TRUE(effects.initialize(devices.endpoints()));
    // Hold the worker in a slow exchange so that later jobs wait in the queue.
    devices.relay.misbehave(Behaviour::Silent, 1);
    effects.setHeater(true);
    ASSERT_TRUE(devices.relay.waitForRequests(1));
    effects.setWaterMist(3);
    effects.setScent(1);
    std::string error;
    EXPECT_FALSE(effects.reconfigure({"127.0.0.1", karvel::test::unusedTcpPort(), "127.0.0.1", 1}, error));
    EXPECT_EQ(error, "relay controller connection failed");
    EXPECT_TRUE(log().contains("[Ridova][ERROR] EffectsController reconfigure failed: relay controller connection failed"));
    Devices other;
    EXPECT_FALSE(effects.reconfigure({"127.0.0.1", other.relay.port(), "127.0.0.1", karvel::test::unusedTcpPort()}, error));
    EXPECT_EQ(error, "speed controller connection failed");
    ASSERT_TRUE(devices.relay.waitUntil([&] { return devices.relay.coils(4, 7) == bits({1, 0, 0, 1, 1, 0, 1}); }));
    EXPECT_TRUE(devices.relay.coil(15));
}

TEST_F(EffectsControllerTest, ShutdownRunsTheTurnOffJobsQueuedBeforeIt) {
    ASSERT_TRUE(effects.initialize(devices.endpoints()));
    effects.setHeater(true);
    effects.setWaterMist(2);
    effects.setWindSpeed(3);
    effects.setHeater(false);
    effects.setWaterMist(0);
    effects.setWindSpeed(0);
    effects.shutdown();
    EXPECT_FALSE(devices.relay.coil(15));
    EXPECT_EQ(devices.relay.coils(4, 4), bits({0, 0, 0, 0}));
    EXPECT_EQ(devices.speed.holdingRegister(3), 0);
    // Superseded levels may be skipped, never the last ones.
    EXPECT_LE(devices.relay.requestCount(), 4u);
    EXPECT_LE(devices.speed.requestCount(), 2u);
}

// Devices that answer each write in 50 ms, under water mist changes at 60 Hz:
// one queued call per effect at most, so the final off goes out at once and
// the stop is quick; every call one request, it would take 9 s.
TEST_F(EffectsControllerTest, SlowDevicesUnderASixtyHertzStreamStopInTimeAndEndOff) {
    ASSERT_TRUE(effects.initialize(devices.endpoints()));
    devices.relay.answerAfter(50);
    devices.speed.answerAfter(50);
    atSixtyHertz(3.0, [&](int n) {
        effects.setWaterMist(n % 4);
        effects.setWindSpeed(n % 4);
    });
    effects.turnOffAll();
    const auto start = std::chrono::steady_clock::now();
    effects.shutdown();
    EXPECT_LT(secondsSince(start), EffectsController::kStopTimeoutMs / 1000.0 + 1.0);
    EXPECT_EQ(devices.relay.coils(4, 12), std::vector<bool>(12, false));
    EXPECT_EQ(devices.speed.holdingRegister(3), 0);
    EXPECT_LT(devices.relay.requestCount(), 120u);
    EXPECT_TRUE(log().linesStartingWith("[Ridova][ERROR]").empty());
}

// Devices that answer nothing while the stream runs cost 2 s a request; back
// before the stop, they get the final off and nothing of the backlog.
TEST_F(EffectsControllerTest, SilentDevicesUnderASixtyHertzStreamStopInTime) {
    ASSERT_TRUE(effects.initialize(devices.endpoints()));
    devices.relay.misbehave(Behaviour::Silent, 1000000);
    devices.speed.misbehave(Behaviour::Silent, 1000000);
    atSixtyHertz(3.0, [&](int n) {
        effects.setHeater(n % 2 == 0);
        effects.setWindSpeed(n % 4);
    });
    const std::size_t relayRequests = devices.relay.requestCount();
    EXPECT_LE(relayRequests, 4u); // two attempts a request, 2 s each, in 3 s
    devices.relay.misbehave(Behaviour::Normal, 0);
    devices.speed.misbehave(Behaviour::Normal, 0);
    effects.turnOffAll();
    const auto start = std::chrono::steady_clock::now();
    effects.shutdown();
    EXPECT_LT(secondsSince(start), EffectsController::kStopTimeoutMs / 1000.0 + 1.0);
    EXPECT_FALSE(devices.relay.coil(15));
    EXPECT_EQ(devices.relay.coils(4, 7), std::vector<bool>(7, false));
    EXPECT_EQ(devices.speed.holdingRegister(3), 0);
    // The request in progress, its retry, and the three relay writes of the off.
    EXPECT_LE(devices.relay.requestCount(), relayRequests + 5);
}

TEST_F(EffectsControllerTest, ShutdownWithDevicesThatNeverAnswerEndsAtTheStopTimeOut) {
    ASSERT_TRUE(effects.initialize(devices.endpoints()));
    devices.relay.misbehave(Behaviour::Silent, 1000000);
    devices.speed.misbehave(Behaviour::Silent, 1000000);
    effects.setHeater(true);
    ASSERT_TRUE(devices.relay.waitForRequests(1));
    // Three relay jobs behind the one in flight, and one on the fan: which of
    // them the stop cuts off depends on timing, but each device says what it
    // did not send.
    effects.setWindSpeed(2);
    effects.setWaterMist(1);
    effects.setScent(1);
    for (int i = 0; i < 5; ++i) effects.setHeater(i % 2 == 0);
    const auto start = std::chrono::steady_clock::now();
    effects.shutdown();
    EXPECT_LT(secondsSince(start), EffectsController::kStopTimeoutMs / 1000.0 + 1.0);
    const auto notSent = [&](const char* device) {
        const std::vector<std::string> lines = log().linesStartingWith("[Ridova][ERROR] EffectsController stop time-out: ");
        for (const std::string& line : lines) {
            int left = 0;
            char name[64] = {};
            if (std::sscanf(line.c_str(), "[Ridova][ERROR] EffectsController stop time-out: %d queued effect jobs not "
                                          "sent to the %63[a-z ]",
                            &left, name) == 2 &&
                std::string(name) == device)
                return left;
        }
        return -1;
    };
    EXPECT_GE(notSent("relay board"), 1);
    EXPECT_LE(notSent("relay board"), 3);
    EXPECT_EQ(notSent("fan speed controller"), 1);
}
