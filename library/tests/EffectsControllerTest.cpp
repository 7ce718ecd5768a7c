// The effects controller against two loopback test devices: a relay board in
// the socket framing and a fan speed controller in the RTU framing.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>

#include "EffectsController.h"
#include "Karvel.h"
#include "SeatController.h"
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
    // The worker sits in a request that gets no answer (two attempts, 2 s) while the burst comes.
    devices.relay.misbehave(Behaviour::Silent, 2);
    effects.setHeater(true);
    ASSERT_TRUE(devices.relay.waitForRequests(1));
    for (int i = 0; i < 1000; ++i) {
        effects.setWindSpeed(i % 4);
        effects.setHeater(i % 2 == 0);
    }
    ASSERT_TRUE(devices.relay.waitUntil([&] { return devices.relay.requestCount() == 3; }));
    ASSERT_TRUE(devices.speed.waitForRequests(1));
    // The last of each: wind level 3, heater off; one request each, not a thousand.
    EXPECT_EQ(devices.speed.holdingRegister(3), 100);
    EXPECT_FALSE(devices.relay.coil(15));
    effects.shutdown();
    EXPECT_EQ(devices.speed.requestCount(), 1u);
    EXPECT_EQ(devices.relay.requestCount(), 3u);
}

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

TEST_F(EffectsControllerTest, UnreachableOrInvalidEndpointsRunWithoutLinks) {
    const int refused = karvel::test::unusedTcpPort();
    EXPECT_FALSE(effects.initialize({"127.0.0.1", refused, "127.0.0.1", devices.speed.port()}));
    EXPECT_TRUE(log().contains("[Ridova][ERROR] EffectsController connection failed: relay=0 speed=0"));
    EXPECT_EQ(devices.speed.connectionsAccepted(), 0); // the speed link is tried only after the relay link
    effects.setWindSpeed(3);                           // no link: nothing happens
    std::string error;
    ASSERT_TRUE(effects.reconfigure(devices.endpoints(), error)) << error;
    effects.setWindSpeed(3);
    ASSERT_TRUE(devices.speed.waitForRequests(1));
    EXPECT_EQ(devices.speed.holdingRegister(3), 100);
    effects.shutdown();

    EffectsController badPorts;
    EXPECT_FALSE(badPorts.initialize({"127.0.0.1", 0, "127.0.0.1", 70000}));
    EXPECT_TRUE(log().contains("[Ridova][ERROR] EffectsController invalid port: relay=0 speed=70000"));
}

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
    // The worker turns the old pair off, and says so.
    ASSERT_TRUE(log().waitFor("[Ridova][INFO] EffectsController old endpoints turned off: relay=127.0.0.1:" +
                              std::to_string(devices.relay.port()) + " speed=127.0.0.1:" +
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
    // Four jobs behind the one in flight: which of them is cut off at the stop
    // depends on timing, but the heater change queued last is never reached.
    effects.setWindSpeed(2);
    effects.setWaterMist(1);
    effects.setScent(1);
    for (int i = 0; i < 5; ++i) effects.setHeater(i % 2 == 0);
    const auto start = std::chrono::steady_clock::now();
    effects.shutdown();
    EXPECT_LT(secondsSince(start), EffectsController::kStopTimeoutMs / 1000.0 + 1.0);
    const std::vector<std::string> lines = log().linesStartingWith("[Ridova][ERROR] EffectsController stop time-out: ");
    ASSERT_EQ(lines.size(), 1u);
    int left = 0;
    ASSERT_EQ(std::sscanf(lines[0].c_str(), "[Ridova][ERROR] EffectsController stop time-out: %d queued effect jobs not sent",
                          &left),
              1);
    EXPECT_GE(left, 1);
    EXPECT_LE(left, 4);
}

// A device that is switched off and on again, on the port it had: the jobs
// meanwhile fail with the client's lines, the first one after it is back works.
TEST_F(EffectsControllerTest, DevicesComingBackServeTheNextJob) {
    auto relay = std::make_unique<ModbusTestServer>(Framing::Mbap);
    auto speed = std::make_unique<ModbusTestServer>(Framing::Rtu);
    const int relayPort = relay->port();
    const int speedPort = speed->port();
    ASSERT_TRUE(effects.initialize({"127.0.0.1", relayPort, "127.0.0.1", speedPort}));
    const std::string downLine = "[Ridova][ERROR] ModbusTcpClient not connected, reconnect failed";

    relay.reset();
    effects.setHeater(true);
    ASSERT_TRUE(log().waitFor(downLine));
    relay = std::make_unique<ModbusTestServer>(Framing::Mbap, relayPort);
    effects.setHeater(true);
    EXPECT_TRUE(relay->waitUntil([&] { return relay->coil(15); }));

    // The same ERROR line again within a second would be held back and counted.
    karvel::SeatController::instance().sink().flushRepeats();
    speed.reset();
    effects.setWindSpeed(2);
    ASSERT_TRUE(log().waitFor(downLine, 2));
    speed = std::make_unique<ModbusTestServer>(Framing::Rtu, speedPort);
    effects.setWindSpeed(3);
    EXPECT_TRUE(speed->waitUntil([&] { return speed->holdingRegister(3) == 100; }));
    EXPECT_EQ(speed->requestCount(), 1u);
}
