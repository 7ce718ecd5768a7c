#include "LibraryLines.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace karvel::tools {

namespace {
constexpr char kErrorTag[] = "[Ridova][ERROR] ";
} // namespace

std::uint64_t framesGivenWay(const char* line) {
    static constexpr char kFellBehind[] = "[Ridova][ERROR] UDPTransportLayer fell behind: ";
    if (line == nullptr || std::strncmp(line, kFellBehind, sizeof kFellBehind - 1) != 0) return 0;
    return std::strtoull(line + sizeof kFellBehind - 1, nullptr, 10);
}

std::string refusalCause(const std::vector<std::string>& errorLines) {
    if (errorLines.empty()) return "it gave no reason";
    std::string cause = errorLines.front();
    if (cause.rfind(kErrorTag, 0) == 0) cause.erase(0, sizeof kErrorTag - 1);
    if (cause.find("bind failed on fixed source port") != std::string::npos)
        cause += " (is UDP port 8410 free? another program may hold it)";
    return cause;
}

const char* effectsDeviceName(EffectsDevice device) {
    return device == EffectsDevice::RelayBoard ? "relay board" : "fan speed controller";
}

EffectsDevicesNews effectsDevicesNews(const char* line) {
    EffectsDevicesNews news;
    if (line == nullptr) return news;
    const std::string text = line;
    const auto says = [&](const std::string& part) { return text.find(part) != std::string::npos; };
    if (says("] Effects initialized successfully.")) {
        news.device[0] = news.device[1] = DeviceNews::Answers;
        return news;
    }
    int relayTaken = 0, speedTaken = 0;
    const std::string::size_type failed = text.find("EffectsController connection failed: ");
    if (failed != std::string::npos &&
        std::sscanf(text.c_str() + failed, "EffectsController connection failed: relay=%d speed=%d", &relayTaken,
                    &speedTaken) == 2) {
        news.device[0] = relayTaken != 0 ? DeviceNews::Answers : DeviceNews::NotAnswering;
        news.device[1] = speedTaken != 0 ? DeviceNews::Answers : DeviceNews::NotAnswering;
        return news;
    }
    for (int index = 0; index < kEffectsDevices; ++index) {
        const std::string name = effectsDeviceName(static_cast<EffectsDevice>(index));
        DeviceNews& said = news.device[index];
        if (says("EffectsController " + name + " answering again"))
            said = DeviceNews::Answers;
        else if (says("EffectsController " + name + " not answering") ||
                 says("queued effect jobs not sent to the " + name) ||
                 says("EffectsController old " + name + " not turned off"))
            said = DeviceNews::NotAnswering;
        else if (says("ModbusTcpClient request failed: " + name + ","))
            said = says("): exception 0x") ? DeviceNews::Refused : DeviceNews::NotAnswering;
    }
    return news;
}

} // namespace karvel::tools
