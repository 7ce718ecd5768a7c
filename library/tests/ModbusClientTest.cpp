// The Modbus client against loopback test devices in both framings.
#include <gtest/gtest.h>

#include <chrono>

#include "Karvel.h"
#include "ModbusFraming.h"
#include "ModbusTcpClient.h"
#include "support/FullBacklogListener.h"
#include "support/LogCapture.h"
#include "support/ModbusTestServer.h"
#include "support/Timing.h"

using karvel::ModbusTcpClient;
using karvel::test::Bytes;
using karvel::test::LogCapture;
using karvel::test::ModbusTestServer;
using karvel::test::secondsSince;
using karvel::modbus::Failure;
using Behaviour = ModbusTestServer::Behaviour;
using Framing = ModbusTestServer::Framing;

namespace {

class ModbusClientTest : public ::testing::Test {
protected:
    void SetUp() override {
        Ridova_SetLogCallback(&LogCapture::callback);
        log().clear();
    }
    void TearDown() override { Ridova_SetLogCallback(nullptr); }
    static LogCapture& log() { return LogCapture::instance(); }
    static std::size_t errorLines() { return log().linesStartingWith("[Ridova][ERROR]").size(); }
};

constexpr const char* kDevice = "test device";

ModbusTcpClient clientFor(Framing framing, const karvel::SharedCutoff* stop = nullptr) {
    return ModbusTcpClient(framing == Framing::Rtu ? karvel::modbus::kRtuOverTcp : karvel::modbus::kModbusTcp, kDevice,
                           stop);
}

Bytes withCrc(Bytes frame) {
    const std::uint16_t crc = karvel::modbus::crc16(frame.data(), frame.size());
    frame.push_back(static_cast<std::uint8_t>(crc & 0xFF));
    frame.push_back(static_cast<std::uint8_t>(crc >> 8));
    return frame;
}

} // namespace

TEST_F(ModbusClientTest, SocketFramingOnTheWire) {
    ModbusTestServer server(Framing::Mbap);
    ModbusTcpClient client = clientFor(Framing::Mbap);
    ASSERT_TRUE(client.connect("127.0.0.1", server.port()));
    const bool mist[] = {true, false, true, false};
    EXPECT_TRUE(client.writeSingleCoil(15, true).accepted());
    EXPECT_TRUE(client.writeSingleRegister(3, 70).accepted());
    EXPECT_TRUE(client.writeMultipleCoils(4, mist, 4).accepted());
    const std::vector<Bytes> expected = {
        {0x00, 0x00, 0x00, 0x00, 0x00, 0x06, 0x01, 0x05, 0x00, 0x0F, 0xFF, 0x00},
        {0x00, 0x01, 0x00, 0x00, 0x00, 0x06, 0x01, 0x06, 0x00, 0x03, 0x00, 0x46},
        {0x00, 0x02, 0x00, 0x00, 0x00, 0x08, 0x01, 0x0F, 0x00, 0x04, 0x00, 0x04, 0x01, 0x05},
    };
    EXPECT_EQ(server.requests(), expected);
    EXPECT_TRUE(server.coil(15));
    EXPECT_EQ(server.holdingRegister(3), 70);
    EXPECT_EQ(server.coils(4, 4), (std::vector<bool>{true, false, true, false}));
    const int port = server.port();
    EXPECT_EQ(log().texts().at(0), "[Ridova][DEBUG] ModbusTcpClient connecting to 127.0.0.1:" + std::to_string(port) +
                                       " (Modbus-TCP)");
    EXPECT_TRUE(log().contains("[Ridova][INFO] ModbusTcpClient connected to 127.0.0.1:" + std::to_string(port) +
                               " (Modbus-TCP)"));
    EXPECT_TRUE(log().contains("[Ridova][DEBUG] ModbusTcpClient sendRequest slave=1 pduLen=7 (Modbus-TCP)"));
    EXPECT_TRUE(log().contains("[Ridova][DEBUG] ModbusTcpClient reply received dataLen=5"));
    EXPECT_EQ(errorLines(), 0u);
}

TEST_F(ModbusClientTest, RtuFramingOnTheWire) {
    ModbusTestServer server(Framing::Rtu);
    ModbusTcpClient client = clientFor(Framing::Rtu);
    ASSERT_TRUE(client.connect("127.0.0.1", server.port()));
    const bool scent[] = {true, false, true};
    EXPECT_TRUE(client.writeSingleRegister(3, 50).accepted());
    Bytes reply;
    EXPECT_TRUE(client.sendRequest(karvel::modbus::writeSingleRegisterPdu(3, 50), reply).accepted());
    EXPECT_EQ(reply, (Bytes{0x01, 0x06, 0x00, 0x03, 0x00, 0x32}));
    EXPECT_TRUE(client.writeSingleCoil(15, false).accepted());
    EXPECT_TRUE(client.writeMultipleCoils(8, scent, 3).accepted());
    const std::vector<Bytes> requests = server.requests();
    ASSERT_EQ(requests.size(), 4u);
    EXPECT_EQ(requests[0], (Bytes{0x01, 0x06, 0x00, 0x03, 0x00, 0x32, 0xF8, 0x1F}));
    EXPECT_EQ(requests[2], withCrc({0x01, 0x05, 0x00, 0x0F, 0x00, 0x00}));
    EXPECT_EQ(requests[3], withCrc({0x01, 0x0F, 0x00, 0x08, 0x00, 0x03, 0x01, 0x05}));
    EXPECT_EQ(server.holdingRegister(3), 50);
    EXPECT_EQ(server.coils(8, 3), (std::vector<bool>{true, false, true}));
    EXPECT_TRUE(log().contains("[Ridova][DEBUG] ModbusTcpClient sendRequest slave=1 pduLen=5 (RTU-over-TCP)"));
    EXPECT_EQ(errorLines(), 0u);
}

TEST_F(ModbusClientTest, RetryGoesOverAFreshConnectionWithTheNextTransaction) {
    ModbusTestServer server(Framing::Mbap);
    ModbusTcpClient client = clientFor(Framing::Mbap);
    ASSERT_TRUE(client.connect("127.0.0.1", server.port()));
    server.misbehave(Behaviour::Silent);
    EXPECT_TRUE(client.writeSingleRegister(3, 100).accepted());
    const std::vector<Bytes> requests = server.requests();
    ASSERT_EQ(requests.size(), 2u);
    EXPECT_EQ(requests[0][1], 0x00);
    EXPECT_EQ(requests[1][1], 0x01);
    EXPECT_EQ(server.connectionsAccepted(), 2);
    EXPECT_TRUE(log().contains("[Ridova][ERROR] ModbusTcpClient readBytes header error. Retry=0"));
    EXPECT_TRUE(log().contains("[Ridova][DEBUG] ModbusTcpClient disconnecting from 127.0.0.1:" +
                               std::to_string(server.port())));
    // The retry worked: no line says the request failed.
    EXPECT_TRUE(log().linesStartingWith("[Ridova][ERROR] ModbusTcpClient request failed").empty());
}

TEST_F(ModbusClientTest, MultipleCoilsCountOutsideTheByteCountIsNotSent) {
    ModbusTestServer server(Framing::Rtu);
    ModbusTcpClient client = clientFor(Framing::Rtu);
    ASSERT_TRUE(client.connect("127.0.0.1", server.port()));
    static bool many[1969] = {};
    EXPECT_EQ(client.writeMultipleCoils(0, many, 0).failure, Failure::RequestInvalid);
    EXPECT_EQ(client.writeMultipleCoils(0, many, 1969).failure, Failure::RequestInvalid);
    EXPECT_EQ(client.writeMultipleCoils(0, nullptr, 4).failure, Failure::RequestInvalid);
    EXPECT_EQ(server.requestCount(), 0u);
    EXPECT_EQ(errorLines(), 0u);
    // Outside the device's map: an exception reply, a refused write, no retry.
    const karvel::modbus::Result refused = client.writeMultipleCoils(0, many, 1968);
    EXPECT_EQ(refused.failure, Failure::Exception);
    EXPECT_EQ(refused.got, 0x02);
    ASSERT_EQ(server.requestCount(), 1u);
    EXPECT_EQ(server.requests()[0][6], 246);
    EXPECT_EQ(log().linesStartingWith("[Ridova][ERROR]"),
              std::vector<std::string>{"[Ridova][ERROR] ModbusTcpClient request failed: test device, write multiple "
                                       "coils (0x0F): exception 0x02 (illegal data address), not retried"});
}

TEST_F(ModbusClientTest, RefusedAndVanishedDevices) {
    ModbusTcpClient client = clientFor(Framing::Mbap);
    const int refused = karvel::test::unusedTcpPort();
    EXPECT_FALSE(client.connect("127.0.0.1", refused));
    EXPECT_EQ(log().linesStartingWith("[Ridova][ERROR] ModbusTcpClient connect failed to 127.0.0.1:" +
                                      std::to_string(refused) + " (error: ")
                  .size(),
              1u);
    EXPECT_FALSE(client.connect("999.1.1.1", 502));
    EXPECT_TRUE(log().contains("[Ridova][ERROR] ModbusTcpClient invalid IP: 999.1.1.1"));

    auto server = std::make_unique<ModbusTestServer>(Framing::Mbap);
    const int port = server->port();
    ASSERT_TRUE(client.connect("127.0.0.1", port));
    EXPECT_TRUE(client.writeSingleCoil(15, true).accepted());
    server.reset(); // the device goes away
    log().clear();
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(client.writeSingleCoil(15, false).failure, Failure::NotConnected);
    EXPECT_LT(secondsSince(start), 10.0);
    // A failed attempt, a reconnect, and the retry's own connect, without pause.
    EXPECT_EQ(log().linesStartingWith("[Ridova][DEBUG] ModbusTcpClient connecting to").size(), 2u);
    const std::vector<std::string> texts = log().texts();
    ASSERT_GE(texts.size(), 2u);
    EXPECT_EQ(texts[texts.size() - 2], "[Ridova][ERROR] ModbusTcpClient not connected, reconnect failed");
    EXPECT_EQ(texts.back(), "[Ridova][ERROR] ModbusTcpClient request failed: test device, write single coil (0x05): "
                            "not connected");
    EXPECT_FALSE(client.connected());
}

// One misbehaviour of a device and what the client makes of it. The client
// retries over a fresh connection whatever does not answer the request, and
// takes an exception reply as the device's answer.
struct Misbehaviour {
    const char* name;
    Framing framing;
    Behaviour behaviour;
    int count;                // requests that misbehave
    Failure failure;          // the write's result
    const char* errorLine;    // a line the client must write, or empty for none at all
    std::size_t requestsSent; // requests the device saw for the one write, each on a connection of its own
};

class MisbehavingDevice : public ModbusClientTest, public ::testing::WithParamInterface<Misbehaviour> {};

TEST_P(MisbehavingDevice, EndsInAClearResultAndTheNextWriteSucceeds) {
    const Misbehaviour& c = GetParam();
    ModbusTestServer server(c.framing);
    ModbusTcpClient client = clientFor(c.framing);
    ASSERT_TRUE(client.connect("127.0.0.1", server.port()));
    // One exchange first: the device has a reply it could give again.
    ASSERT_TRUE(client.writeSingleRegister(3, 50).accepted());
    log().clear();
    server.misbehave(c.behaviour, c.count);
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(client.writeSingleRegister(3, 70).failure, c.failure);
    // Two attempts of a one-second receive time-out and a reconnect at most.
    EXPECT_LT(secondsSince(start), 8.0);
    EXPECT_EQ(server.requestCount() - 1, c.requestsSent);
    // A retry goes over a fresh connection; an answer keeps the one it came on.
    EXPECT_EQ(server.connectionsAccepted(), static_cast<int>(c.requestsSent));
    if (*c.errorLine != '\0') {
        EXPECT_FALSE(log().linesStartingWith(c.errorLine).empty()) << c.errorLine;
    } else {
        EXPECT_EQ(errorLines(), 0u);
    }
    // Every request that failed ends with one line naming the device and the function.
    const std::vector<std::string> failed = log().linesStartingWith("[Ridova][ERROR] ModbusTcpClient request failed: ");
    if (c.failure == Failure::None) {
        EXPECT_TRUE(failed.empty());
    } else {
        ASSERT_EQ(failed.size(), 1u);
        EXPECT_EQ(failed[0].rfind("[Ridova][ERROR] ModbusTcpClient request failed: test device, write single register "
                                  "(0x06): ",
                                  0),
                  0u)
            << failed[0];
        EXPECT_EQ(log().texts().back(), failed[0]);
    }
    // The device is well again: the next write goes through, never confused by
    // what was left of a late or broken reply.
    log().clear();
    const auto next = std::chrono::steady_clock::now();
    EXPECT_TRUE(client.writeSingleRegister(3, 100).accepted());
    EXPECT_LT(secondsSince(next), 8.0);
    EXPECT_EQ(server.holdingRegister(3), 100);
    EXPECT_TRUE(client.writeSingleCoil(15, true).accepted());
    EXPECT_TRUE(server.coil(15));
}

constexpr Failure kAccepted = Failure::None;

INSTANTIATE_TEST_SUITE_P(
    Client, MisbehavingDevice,
    ::testing::Values(
        Misbehaviour{"MbapSilent", Framing::Mbap, Behaviour::Silent, 2, Failure::HeaderIncomplete,
                     "[Ridova][ERROR] ModbusTcpClient readBytes header error. Retry=1", 2},
        Misbehaviour{"MbapLate", Framing::Mbap, Behaviour::LateReply, 2, Failure::HeaderIncomplete,
                     "[Ridova][ERROR] ModbusTcpClient readBytes header error. Retry=1", 2},
        Misbehaviour{"MbapCloseMidReply", Framing::Mbap, Behaviour::CloseMidReply, 2, Failure::HeaderIncomplete,
                     "[Ridova][ERROR] ModbusTcpClient readBytes header error. Retry=1", 2},
        Misbehaviour{"MbapTruncated", Framing::Mbap, Behaviour::Truncated, 2, Failure::HeaderIncomplete,
                     "[Ridova][ERROR] ModbusTcpClient readBytes header error. Retry=1", 2},
        Misbehaviour{"MbapSilentOnce", Framing::Mbap, Behaviour::Silent, 1, kAccepted,
                     "[Ridova][ERROR] ModbusTcpClient readBytes header error. Retry=0", 2},
        Misbehaviour{"MbapException04", Framing::Mbap, Behaviour::Exception, 1, Failure::Exception,
                     "[Ridova][ERROR] ModbusTcpClient request failed: test device, write single register (0x06): "
                     "exception 0x04 (server device failure), not retried",
                     1},
        Misbehaviour{"MbapException02", Framing::Mbap, Behaviour::IllegalAddress, 1, Failure::Exception,
                     "[Ridova][ERROR] ModbusTcpClient request failed: test device, write single register (0x06): "
                     "exception 0x02 (illegal data address), not retried",
                     1},
        Misbehaviour{"MbapWrongFunction", Framing::Mbap, Behaviour::WrongFunction, 2, Failure::OtherFunction,
                     "[Ridova][ERROR] ModbusTcpClient reply for function 0x05, expected 0x06. Retry=1", 2},
        Misbehaviour{"MbapWrongFunctionOnce", Framing::Mbap, Behaviour::WrongFunction, 1, kAccepted,
                     "[Ridova][ERROR] ModbusTcpClient reply for function 0x05, expected 0x06. Retry=0", 2},
        Misbehaviour{"MbapWrongUnit", Framing::Mbap, Behaviour::WrongUnit, 2, Failure::OtherUnit,
                     "[Ridova][ERROR] ModbusTcpClient reply from unit 7, expected 1. Retry=1", 2},
        Misbehaviour{"MbapWrongEcho", Framing::Mbap, Behaviour::WrongEcho, 2, Failure::OtherEcho,
                     "[Ridova][ERROR] ModbusTcpClient reply echoes address 4 value 70, expected address 3 value 70. "
                     "Retry=1",
                     2},
        Misbehaviour{"MbapWrongProtocol", Framing::Mbap, Behaviour::WrongProtocol, 2, Failure::OtherProtocol,
                     "[Ridova][ERROR] ModbusTcpClient reply with protocol identifier 1, expected 0. Retry=1", 2},
        Misbehaviour{"MbapBadLength", Framing::Mbap, Behaviour::BadLength, 2, Failure::LengthInvalid,
                     "[Ridova][ERROR] ModbusTcpClient invalid dataLen: 299", 2},
        Misbehaviour{"MbapBadLengthOnce", Framing::Mbap, Behaviour::BadLength, 1, kAccepted,
                     "[Ridova][ERROR] ModbusTcpClient invalid dataLen: 299", 2},
        Misbehaviour{"MbapEmptyPdu", Framing::Mbap, Behaviour::ShortLength, 2, Failure::LengthMismatch,
                     "[Ridova][ERROR] ModbusTcpClient reply PDU of 0 bytes, expected 5. Retry=1", 2},
        Misbehaviour{"MbapShortReply", Framing::Mbap, Behaviour::ShortReply, 2, Failure::LengthMismatch,
                     "[Ridova][ERROR] ModbusTcpClient reply PDU of 3 bytes, expected 5. Retry=1", 2},
        Misbehaviour{"MbapOverLong", Framing::Mbap, Behaviour::OverLong, 1, kAccepted, "", 1},
        Misbehaviour{"MbapReset", Framing::Mbap, Behaviour::Reset, 2, Failure::HeaderIncomplete,
                     "[Ridova][ERROR] ModbusTcpClient readBytes header error. Retry=1", 2},
        Misbehaviour{"MbapStaleTransaction", Framing::Mbap, Behaviour::StaleReply, 2, Failure::OtherTransaction,
                     "[Ridova][ERROR] ModbusTcpClient reply for another transaction: got=0 expected=2. Retry=1", 2},
        Misbehaviour{"MbapStaleTransactionOnce", Framing::Mbap, Behaviour::StaleReply, 1, kAccepted,
                     "[Ridova][ERROR] ModbusTcpClient reply for another transaction: got=0 expected=1. Retry=0", 2},
        Misbehaviour{"MbapGarbage", Framing::Mbap, Behaviour::Garbage, 1, kAccepted,
                     "[Ridova][ERROR] ModbusTcpClient invalid dataLen: 42404", 2},
        Misbehaviour{"MbapFloodAfterTheReply", Framing::Mbap, Behaviour::Flood, 1, kAccepted, "", 1},
        Misbehaviour{"RtuSilent", Framing::Rtu, Behaviour::Silent, 2, Failure::FrameIncomplete,
                     "[Ridova][ERROR] ModbusTcpClient invalid RTU response. Retry=1", 2},
        Misbehaviour{"RtuLate", Framing::Rtu, Behaviour::LateReply, 2, Failure::FrameIncomplete,
                     "[Ridova][ERROR] ModbusTcpClient invalid RTU response. Retry=1", 2},
        Misbehaviour{"RtuCloseMidReply", Framing::Rtu, Behaviour::CloseMidReply, 2, Failure::FrameIncomplete,
                     "[Ridova][ERROR] ModbusTcpClient invalid RTU response. Retry=1", 2},
        Misbehaviour{"RtuBadCrc", Framing::Rtu, Behaviour::BadCrc, 2, Failure::CrcMismatch,
                     "[Ridova][ERROR] ModbusTcpClient RTU CRC mismatch: got=0x", 2},
        Misbehaviour{"RtuBadCrcOnce", Framing::Rtu, Behaviour::BadCrc, 1, kAccepted,
                     "[Ridova][ERROR] ModbusTcpClient invalid RTU response. Retry=0", 2},
        Misbehaviour{"RtuUnknownFunction", Framing::Rtu, Behaviour::UnknownFunction, 2, Failure::FunctionUnsupported,
                     "[Ridova][ERROR] ModbusTcpClient unsupported RTU function: 0x2B", 2},
        Misbehaviour{"RtuException04", Framing::Rtu, Behaviour::Exception, 1, Failure::Exception,
                     "[Ridova][ERROR] ModbusTcpClient request failed: test device, write single register (0x06): "
                     "exception 0x04 (server device failure), not retried",
                     1},
        Misbehaviour{"RtuException02", Framing::Rtu, Behaviour::IllegalAddress, 1, Failure::Exception,
                     "[Ridova][ERROR] ModbusTcpClient request failed: test device, write single register (0x06): "
                     "exception 0x02 (illegal data address), not retried",
                     1},
        Misbehaviour{"RtuWrongFunction", Framing::Rtu, Behaviour::WrongFunction, 2, Failure::OtherFunction,
                     "[Ridova][ERROR] ModbusTcpClient reply for function 0x05, expected 0x06. Retry=1", 2},
        Misbehaviour{"RtuWrongFunctionOnce", Framing::Rtu, Behaviour::WrongFunction, 1, kAccepted,
                     "[Ridova][ERROR] ModbusTcpClient reply for function 0x05, expected 0x06. Retry=0", 2},
        Misbehaviour{"RtuWrongUnit", Framing::Rtu, Behaviour::WrongUnit, 2, Failure::OtherUnit,
                     "[Ridova][ERROR] ModbusTcpClient reply from unit 7, expected 1. Retry=1", 2},
        Misbehaviour{"RtuWrongEcho", Framing::Rtu, Behaviour::WrongEcho, 2, Failure::OtherEcho,
                     "[Ridova][ERROR] ModbusTcpClient reply echoes address 4 value 70, expected address 3 value 70. "
                     "Retry=1",
                     2},
        Misbehaviour{"RtuShortReply", Framing::Rtu, Behaviour::ShortReply, 2, Failure::FrameIncomplete,
                     "[Ridova][ERROR] ModbusTcpClient invalid RTU response. Retry=1", 2},
        Misbehaviour{"RtuOverLong", Framing::Rtu, Behaviour::OverLong, 1, kAccepted, "", 1},
        Misbehaviour{"RtuReset", Framing::Rtu, Behaviour::Reset, 2, Failure::FrameIncomplete,
                     "[Ridova][ERROR] ModbusTcpClient invalid RTU response. Retry=1", 2},
        Misbehaviour{"RtuReplayedReply", Framing::Rtu, Behaviour::StaleReply, 2, Failure::OtherEcho,
                     "[Ridova][ERROR] ModbusTcpClient reply echoes address 3 value 50, expected address 3 value 70. "
                     "Retry=1",
                     2},
        Misbehaviour{"RtuReplayedReplyOnce", Framing::Rtu, Behaviour::StaleReply, 1, kAccepted,
                     "[Ridova][ERROR] ModbusTcpClient reply echoes address 3 value 50, expected address 3 value 70. "
                     "Retry=0",
                     2},
        Misbehaviour{"RtuGarbage", Framing::Rtu, Behaviour::Garbage, 2, Failure::CrcMismatch,
                     "[Ridova][ERROR] ModbusTcpClient RTU CRC mismatch: got=0x", 2},
        Misbehaviour{"RtuFloodAfterTheReply", Framing::Rtu, Behaviour::Flood, 1, kAccepted, "", 1}),
    [](const ::testing::TestParamInfo<Misbehaviour>& param) { return std::string(param.param.name); });

// A device that sends a correct reply one byte every 0.9 s, or announces 256
// data bytes and trickles them: each attempt ends at the exchange's deadline,
// the whole write within the request's, with an ERROR line.
struct Trickling {
    const char* name;
    Framing framing;
    Behaviour behaviour;
    const char* errorLine;
};

class TricklingDevice : public ModbusClientTest, public ::testing::WithParamInterface<Trickling> {};

TEST_P(TricklingDevice, EndsWithinTheRequestDeadline) {
    const Trickling& c = GetParam();
    ModbusTestServer server(c.framing);
    ModbusTcpClient client = clientFor(c.framing);
    ASSERT_TRUE(client.connect("127.0.0.1", server.port()));
    server.misbehave(c.behaviour, 2);
    const auto start = std::chrono::steady_clock::now();
    EXPECT_FALSE(client.writeSingleRegister(3, 70).accepted());
    const double seconds = secondsSince(start);
    // Two exchanges of 1 s; a reply trickled whole would take 10 s, the long one minutes.
    EXPECT_GE(seconds, 2 * ModbusTcpClient::kExchangeTimeoutMs / 1000.0 - 0.05);
    EXPECT_LT(seconds, ModbusTcpClient::kRequestTimeoutMs / 1000.0 + 1.0);
    EXPECT_FALSE(log().linesStartingWith(c.errorLine).empty()) << c.errorLine;
    EXPECT_EQ(server.requestCount(), 2u);
    log().clear();
    EXPECT_TRUE(client.writeSingleRegister(3, 100).accepted());
    EXPECT_EQ(server.holdingRegister(3), 100);
}

INSTANTIATE_TEST_SUITE_P(
    Client, TricklingDevice,
    ::testing::Values(Trickling{"Mbap", Framing::Mbap, Behaviour::Trickle,
                                "[Ridova][ERROR] ModbusTcpClient readBytes header error. Retry=1"},
                      Trickling{"MbapLength257", Framing::Mbap, Behaviour::MaxLengthTrickle,
                                "[Ridova][ERROR] ModbusTcpClient readBytes data error. Expected length=256"},
                      Trickling{"Rtu", Framing::Rtu, Behaviour::Trickle,
                                "[Ridova][ERROR] ModbusTcpClient invalid RTU response. Retry=1"}),
    [](const ::testing::TestParamInfo<Trickling>& param) { return std::string(param.param.name); });

TEST_F(ModbusClientTest, ConnectToADeviceThatNeverAnswersEndsAtTheConnectTimeOut) {
    karvel::test::FullBacklogListener hung;
    if (!hung.full()) GTEST_SKIP() << "this system accepts connections beyond a full backlog";
    ModbusTcpClient client = clientFor(Framing::Mbap);
    const auto start = std::chrono::steady_clock::now();
    EXPECT_FALSE(client.connect("127.0.0.1", hung.port()));
    const double seconds = secondsSince(start);
    EXPECT_GE(seconds, ModbusTcpClient::kConnectTimeoutMs / 1000.0 - 0.05);
    EXPECT_LT(seconds, ModbusTcpClient::kConnectTimeoutMs / 1000.0 + 3.0);
    EXPECT_EQ(log().linesStartingWith("[Ridova][ERROR] ModbusTcpClient connect failed to 127.0.0.1:" +
                                      std::to_string(hung.port()) + " (error: ")
                  .size(),
              1u);
    EXPECT_FALSE(client.connected());
}

TEST_F(ModbusClientTest, AStopThatHasComeSendsNothingMore) {
    ModbusTestServer server(Framing::Mbap);
    karvel::SharedCutoff stop;
    ModbusTcpClient client = clientFor(Framing::Mbap, &stop);
    ASSERT_TRUE(client.connect("127.0.0.1", server.port()));
    stop.bringForward(karvel::Deadline::after(std::chrono::milliseconds(0)));
    EXPECT_EQ(client.writeSingleCoil(15, true).failure, Failure::DeadlinePassed);
    EXPECT_TRUE(log().contains("[Ridova][ERROR] ModbusTcpClient request deadline passed. Retry=0"));
    EXPECT_EQ(log().texts().back(), "[Ridova][ERROR] ModbusTcpClient request failed: test device, write single coil "
                                    "(0x05): request deadline passed");
    EXPECT_EQ(server.requestCount(), 0u);
    // A later stop does not move it back.
    stop.bringForward(karvel::Deadline::after(std::chrono::hours(1)));
    EXPECT_FALSE(client.writeSingleCoil(15, true).accepted());
    stop.clear();
    EXPECT_TRUE(client.writeSingleCoil(15, true).accepted());
    EXPECT_TRUE(server.coil(15));
}
