// Reads one motion datagram: 50 bytes, start bytes 55 AA, end bytes
// 12 34 56 78 AB CD, big-endian play time and axis targets.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>

#include "SeatInverse.h"

namespace karvel::sim {

inline constexpr std::size_t kMotionFrameSize = 50;

enum class FrameFault { None, WrongLength, BadStart, BadEnd };

struct MotionFrame {
    std::int32_t playTime = 0;
    AxisTargets targets;
    std::int32_t v = 0, w = 0;
};

// The frame, or nothing with the fault set.
std::optional<MotionFrame> decodeMotionFrame(const std::uint8_t* data, std::size_t size, FrameFault& fault);

const char* faultName(FrameFault fault);

} // namespace karvel::sim
