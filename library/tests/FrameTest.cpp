#include <gtest/gtest.h>

#include <limits>

#include "AxisTargetQueue.h"
#include "UDPTransportLayer.h"
#include "support/UdpReceiver.h"

using karvel::UDPTransportLayer;

TEST(MotionFrame, LayoutAndBigEndianAxes) {
    const std::vector<std::uint8_t> zero = {0x55, 0xAA, 0x00, 0x00, 0x14, 0x01, 0x00, 0x01, 0xFF, 0xFF,
                                            0xFF, 0xFF, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x14,
                                            0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0,
                                            0, 0, 0, 0, 0x12, 0x34, 0x56, 0x78, 0xAB, 0xCD};
    EXPECT_EQ(UDPTransportLayer::buildFrame(0, 0, 0, 0), zero);

    const karvel::Frame frame = UDPTransportLayer::buildFrame(1000, -2, std::numeric_limits<std::int32_t>::max(),
                                                              std::numeric_limits<std::int32_t>::min());
    ASSERT_EQ(frame.size(), 50u);
    EXPECT_EQ(std::vector<std::uint8_t>(frame.begin() + 20, frame.begin() + 36),
              (std::vector<std::uint8_t>{0x00, 0x00, 0x03, 0xE8, 0xFF, 0xFF, 0xFF, 0xFE, 0x7F, 0xFF, 0xFF, 0xFF,
                                         0x80, 0x00, 0x00, 0x00}));
    EXPECT_EQ(frame, karvel::test::expectedFrame(1000, -2, std::numeric_limits<std::int32_t>::max(),
                                                 std::numeric_limits<std::int32_t>::min()));
    EXPECT_EQ(UDPTransportLayer::readField(frame, 16), 20);
    EXPECT_EQ(UDPTransportLayer::readField(frame, 24), -2);
    EXPECT_EQ(UDPTransportLayer::readField(frame, 32), std::numeric_limits<std::int32_t>::min());
    EXPECT_EQ(UDPTransportLayer::readField(frame, 36), 0);
    EXPECT_EQ(UDPTransportLayer::readField(frame, 40), 0);
}

TEST(MotionFrame, HexRendering) {
    EXPECT_EQ(UDPTransportLayer::toHex({}), "");
    EXPECT_EQ(UDPTransportLayer::toHex({0x0F}), "0F");
    const std::string hex = UDPTransportLayer::toHex(UDPTransportLayer::buildFrame(0, 0, 0, 0));
    EXPECT_EQ(hex.size(), 149u);
    EXPECT_EQ(hex.substr(0, 35), "55 AA 00 00 14 01 00 01 FF FF FF FF");
    EXPECT_EQ(hex.substr(hex.size() - 17), "12 34 56 78 AB CD");
}

TEST(MotionQueue, TheNewestFourStayAndTheOlderAreCounted) {
    karvel::AxisTargetQueue queue;
    for (std::int32_t k = 1; k <= 6; ++k) queue.push({k, -k, 0, 0});
    EXPECT_EQ(queue.takeDropped(), 2u);
    EXPECT_EQ(queue.takeDropped(), 0u);
    for (std::int32_t k = 3; k <= 6; ++k) {
        ASSERT_FALSE(queue.empty());
        const karvel::AxisTargets next = queue.pop();
        EXPECT_EQ(next.x, k);
        EXPECT_EQ(next.y, -k);
    }
    EXPECT_TRUE(queue.empty());
    queue.push({7, 0, 0, 0}); // wraps round the fixed storage
    queue.clear();
    EXPECT_TRUE(queue.empty());
}
