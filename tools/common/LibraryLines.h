// What a host reads back from the library's log lines.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace karvel::tools {

// The motion frames that a "[Ridova][ERROR] UDPTransportLayer fell behind: N
// stale frames dropped, ..." line says gave way to newer ones (N); 0 for any
// other line. Such frames never left the library.
std::uint64_t framesGivenWay(const char* line);

// Why the library refused a call, from the ERROR lines it wrote during it:
// the first, which names the cause (later ones sum it up), without its
// level tag, and for a port the seat's sender could not bind what to check.
std::string refusalCause(const std::vector<std::string>& errorLines);

// The two effects devices, as the library names them in its lines.
enum class EffectsDevice { RelayBoard, FanSpeedController };
constexpr int kEffectsDevices = 2;
const char* effectsDeviceName(EffectsDevice device); // "relay board", "fan speed controller"

// What a line says about an effects device: it answers (connected, or
// answering again), it does not (a failed connection, a request without a
// reply, jobs dropped at the stop, an old device not turned off), or it
// answered a request with a Modbus exception (the effect was not set).
enum class DeviceNews { None, Answers, NotAnswering, Refused };
struct EffectsDevicesNews {
    DeviceNews device[kEffectsDevices] = {DeviceNews::None, DeviceNews::None};
    DeviceNews of(EffectsDevice which) const { return device[static_cast<int>(which)]; }
};
EffectsDevicesNews effectsDevicesNews(const char* line);

} // namespace karvel::tools
