#include "MotionFrame.h"

#include <algorithm>

namespace karvel::sim {

namespace {

constexpr std::uint8_t kStart[2] = {0x55, 0xAA};
constexpr std::uint8_t kEnd[6] = {0x12, 0x34, 0x56, 0x78, 0xAB, 0xCD};

std::int32_t field(const std::uint8_t* data, std::size_t offset) {
    return static_cast<std::int32_t>((std::uint32_t{data[offset]} << 24) | (std::uint32_t{data[offset + 1]} << 16) |
                                     (std::uint32_t{data[offset + 2]} << 8) | std::uint32_t{data[offset + 3]});
}

} // namespace

std::optional<MotionFrame> decodeMotionFrame(const std::uint8_t* data, std::size_t size, FrameFault& fault) {
    fault = FrameFault::None;
    if (size != kMotionFrameSize) fault = FrameFault::WrongLength;
    else if (!std::equal(std::begin(kStart), std::end(kStart), data)) fault = FrameFault::BadStart;
    else if (!std::equal(std::begin(kEnd), std::end(kEnd), data + 44)) fault = FrameFault::BadEnd;
    if (fault != FrameFault::None) return std::nullopt;
    MotionFrame frame;
    frame.playTime = field(data, 16);
    frame.targets = {field(data, 20), field(data, 24), field(data, 28), field(data, 32)};
    frame.v = field(data, 36);
    frame.w = field(data, 40);
    return frame;
}

const char* faultName(FrameFault fault) {
    switch (fault) {
    case FrameFault::WrongLength: return "wrong length";
    case FrameFault::BadStart: return "wrong start bytes";
    case FrameFault::BadEnd: return "wrong end bytes";
    case FrameFault::None: break;
    }
    return "none";
}

} // namespace karvel::sim
