#include <gtest/gtest.h>

#include "ModbusFraming.h"

using namespace karvel::modbus;

TEST(ModbusFraming, Crc16) {
    const std::uint8_t check[] = {'1', '2', '3', '4', '5', '6', '7', '8', '9'};
    EXPECT_EQ(crc16(check, sizeof check), 0x4B37);
    EXPECT_EQ(crc16(nullptr, 0), 0xFFFF);
    const std::uint8_t request[] = {0x01, 0x06, 0x00, 0x03, 0x00, 0x32};
    EXPECT_EQ(crc16(request, sizeof request), 0x1FF8); // sent low byte first: F8 1F
}

TEST(ModbusFraming, RequestFramesInBothFramings) {
    EXPECT_EQ(rtuRequest(writeSingleRegisterPdu(3, 50)), (Bytes{0x01, 0x06, 0x00, 0x03, 0x00, 0x32, 0xF8, 0x1F}));
    EXPECT_EQ(mbapRequest(0, writeSingleCoilPdu(15, true)),
              (Bytes{0x00, 0x00, 0x00, 0x00, 0x00, 0x06, 0x01, 0x05, 0x00, 0x0F, 0xFF, 0x00}));
    EXPECT_EQ(mbapRequest(0x1234, writeSingleCoilPdu(15, false)),
              (Bytes{0x12, 0x34, 0x00, 0x00, 0x00, 0x06, 0x01, 0x05, 0x00, 0x0F, 0x00, 0x00}));
    const bool mist[] = {true, false, true, false};
    EXPECT_EQ(mbapRequest(65535, writeMultipleCoilsPdu(4, mist, 4)),
              (Bytes{0xFF, 0xFF, 0x00, 0x00, 0x00, 0x08, 0x01, 0x0F, 0x00, 0x04, 0x00, 0x04, 0x01, 0x05}));
}

TEST(ModbusFraming, CoilPacking) {
    const bool scent[] = {false, true, true};
    EXPECT_EQ(writeMultipleCoilsPdu(8, scent, 3), (Bytes{0x0F, 0x00, 0x08, 0x00, 0x03, 0x01, 0x06}));
    const bool nine[] = {true, false, false, false, false, false, false, true, true};
    EXPECT_EQ(writeMultipleCoilsPdu(0x0102, nine, 9), (Bytes{0x0F, 0x01, 0x02, 0x00, 0x09, 0x02, 0x81, 0x01}));
    // The byte count is one byte: 1..1968 coils, and no request without values.
    static bool many[1969] = {};
    EXPECT_TRUE(writeMultipleCoilsPdu(0, many, 0).empty());
    EXPECT_TRUE(writeMultipleCoilsPdu(0, many, 1969).empty());
    EXPECT_TRUE(writeMultipleCoilsPdu(0, nullptr, 3).empty());
    const Bytes largest = writeMultipleCoilsPdu(0, many, 1968);
    ASSERT_EQ(largest.size(), 6u + 246u);
    EXPECT_EQ(largest[5], 246);
}

// What each framing's check makes of a reply to a known request, byte by byte.
struct ReplyCase {
    const char* name;
    Bytes frame;
    Failure failure;
    long long got;
    long long expected;
};

void expectChecks(const Framing& framing, const Bytes& request, const std::vector<ReplyCase>& cases) {
    for (const ReplyCase& c : cases) {
        SCOPED_TRACE(std::string(framing.name) + " " + c.name);
        Bytes reply{0xEE};
        const Result result = framing.checkReply(request, c.frame, reply);
        EXPECT_EQ(result.failure, c.failure);
        EXPECT_EQ(result.got, c.got);
        EXPECT_EQ(result.expected, c.expected);
        // The reply, address byte first, only when the device answered.
        if (result.answered()) {
            const bool rtu = &framing == &kRtuOverTcp;
            EXPECT_EQ(reply, rtu ? Bytes(c.frame.begin(), c.frame.end() - 2) : Bytes(c.frame.begin() + 6, c.frame.end()));
        } else {
            EXPECT_TRUE(reply.empty());
        }
    }
}

TEST(ModbusFraming, MbapReplyMustAnswerItsRequest) {
    const Bytes request = mbapRequest(0x0102, writeSingleCoilPdu(15, true));
    ASSERT_EQ(request, (Bytes{0x01, 0x02, 0x00, 0x00, 0x00, 0x06, 0x01, 0x05, 0x00, 0x0F, 0xFF, 0x00}));
    expectChecks(kModbusTcp, request,
                 {
                     {"echo", request, Failure::None, 0, 0},
                     {"another transaction", {0x01, 0x03, 0, 0, 0, 6, 1, 0x05, 0x00, 0x0F, 0xFF, 0x00},
                      Failure::OtherTransaction, 0x0103, 0x0102},
                     {"another protocol", {0x01, 0x02, 0, 1, 0, 6, 1, 0x05, 0x00, 0x0F, 0xFF, 0x00},
                      Failure::OtherProtocol, 1, 0},
                     {"another unit", {0x01, 0x02, 0, 0, 0, 6, 2, 0x05, 0x00, 0x0F, 0xFF, 0x00}, Failure::OtherUnit, 2, 1},
                     {"exception 02", {0x01, 0x02, 0, 0, 0, 3, 1, 0x85, 0x02}, Failure::Exception, 2, 0x05},
                     {"exception 04", {0x01, 0x02, 0, 0, 0, 3, 1, 0x85, 0x04}, Failure::Exception, 4, 0x05},
                     {"exception without its code", {0x01, 0x02, 0, 0, 0, 2, 1, 0x85}, Failure::LengthMismatch, 1, 2},
                     {"exception to another function", {0x01, 0x02, 0, 0, 0, 3, 1, 0x86, 0x02}, Failure::OtherFunction,
                      0x86, 0x05},
                     {"another function", {0x01, 0x02, 0, 0, 0, 6, 1, 0x06, 0x00, 0x0F, 0xFF, 0x00},
                      Failure::OtherFunction, 0x06, 0x05},
                     {"empty PDU", {0x01, 0x02, 0, 0, 0, 1, 1}, Failure::LengthMismatch, 0, 5},
                     {"short PDU", {0x01, 0x02, 0, 0, 0, 4, 1, 0x05, 0x00, 0x0F}, Failure::LengthMismatch, 3, 5},
                     {"long PDU", {0x01, 0x02, 0, 0, 0, 7, 1, 0x05, 0x00, 0x0F, 0xFF, 0x00, 0x00},
                      Failure::LengthMismatch, 6, 5},
                     {"another value", {0x01, 0x02, 0, 0, 0, 6, 1, 0x05, 0x00, 0x0F, 0x00, 0x00}, Failure::OtherEcho,
                      0x000F0000, 0x000FFF00},
                     {"another address", {0x01, 0x02, 0, 0, 0, 6, 1, 0x05, 0x00, 0x0E, 0xFF, 0x00}, Failure::OtherEcho,
                      0x000EFF00, 0x000FFF00},
                 });
}

TEST(ModbusFraming, RtuReplyMustAnswerItsRequest) {
    const Bytes request = rtuRequest(writeSingleRegisterPdu(3, 50));
    ASSERT_EQ(request, (Bytes{0x01, 0x06, 0x00, 0x03, 0x00, 0x32, 0xF8, 0x1F}));
    const auto framed = [](Bytes body) {
        const std::uint16_t crc = crc16(body.data(), body.size());
        body.push_back(static_cast<std::uint8_t>(crc & 0xFF));
        body.push_back(static_cast<std::uint8_t>(crc >> 8));
        return body;
    };
    expectChecks(kRtuOverTcp, request,
                 {
                     {"echo", request, Failure::None, 0, 0},
                     {"CRC bytes swapped", {0x01, 0x06, 0x00, 0x03, 0x00, 0x32, 0x1F, 0xF8}, Failure::CrcMismatch,
                      0xF81F, 0x1FF8},
                     {"another slave", framed({0x02, 0x06, 0x00, 0x03, 0x00, 0x32}), Failure::OtherUnit, 2, 1},
                     {"exception 02", framed({0x01, 0x86, 0x02}), Failure::Exception, 2, 0x06},
                     {"exception 04", framed({0x01, 0x86, 0x04}), Failure::Exception, 4, 0x06},
                     {"another function", framed({0x01, 0x05, 0x00, 0x03, 0x00, 0x32}), Failure::OtherFunction, 5, 6},
                     {"a replayed reply", framed({0x01, 0x06, 0x00, 0x03, 0x00, 0x46}), Failure::OtherEcho, 0x00030046,
                      0x00030032},
                     {"a read reply", framed({0x01, 0x03, 0x02, 0x00, 0x32}), Failure::OtherFunction, 3, 6},
                 });
}

TEST(ModbusFraming, FailuresAreNamed) {
    EXPECT_STREQ(functionName(0x0F), "write multiple coils");
    EXPECT_STREQ(exceptionName(2), "illegal data address");
    EXPECT_STREQ(exceptionName(4), "server device failure");
    EXPECT_STREQ(exceptionName(0x42), "unknown exception");
    for (int code = 0; code <= static_cast<int>(Failure::LengthMismatch); ++code)
        EXPECT_STRNE(failureReason(static_cast<Failure>(code)), "unknown failure") << code;
}
