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

TEST(ModbusFraming, ReplyChecks) {
    const std::uint8_t header[7] = {0, 0, 0, 0, 0x01, 0x02, 1};
    EXPECT_EQ(mbapDataLength(header), 257);
    const std::uint8_t zero[7] = {0, 0, 0, 0, 0, 0, 1};
    EXPECT_EQ(mbapDataLength(zero), -1);

    EXPECT_EQ(rtuReplyShape(0x85), RtuReplyShape::Exception);
    EXPECT_EQ(rtuReplyShape(0x03), RtuReplyShape::ByteCount);
    EXPECT_EQ(rtuReplyShape(0x04), RtuReplyShape::ByteCount);
    for (std::uint8_t code : {0x05, 0x06, 0x0F, 0x10}) EXPECT_EQ(rtuReplyShape(code), RtuReplyShape::Fixed);
    EXPECT_EQ(rtuReplyShape(0x2B), RtuReplyShape::Unsupported);

    EXPECT_TRUE(checkRtuCrc({0x01, 0x06, 0x00, 0x03, 0x00, 0x32, 0xF8, 0x1F}).ok);
    const RtuCrcCheck bad = checkRtuCrc({0x01, 0x06, 0x00, 0x03, 0x00, 0x32, 0x1F, 0xF8});
    EXPECT_FALSE(bad.ok);
    EXPECT_EQ(bad.received, 0xF81F);
    EXPECT_EQ(bad.computed, 0x1FF8);
    EXPECT_FALSE(checkRtuCrc({0x01, 0x02, 0x03}).ok);

    EXPECT_TRUE(writeAccepted({0x01, 0x05, 0x00, 0x0F, 0xFF, 0x00}, 0x05));
    EXPECT_FALSE(writeAccepted({0x01, 0x85, 0x04}, 0x05));
    EXPECT_FALSE(writeAccepted({0x01, 0x06, 0x00, 0x0F, 0xFF, 0x00}, 0x05));
    EXPECT_FALSE(writeAccepted({0x01}, 0x05));
}
