// `karvel check` against the virtual seat: each axis out to both sides and
// back, each effect on at its lowest level and off, a line per device and
// status 0; with a device that is off (nothing listening on its port) the
// device named, the other still answering and turned off, and status 1. A
// ride's end line says which device did not confirm its effects off.
#include <gtest/gtest.h>

#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cmath>
#include <functional>
#include <thread>

#include "CliFixture.h"

namespace karvel::tools::test {
namespace {

// A TCP port on 127.0.0.1 that refuses connections while this lives: bound, not listening.
class DeadPort {
public:
    DeadPort() : fd_(::socket(AF_INET, SOCK_STREAM, 0)) {
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t size = sizeof address;
        if (::bind(fd_, reinterpret_cast<sockaddr*>(&address), size) == 0 &&
            ::getsockname(fd_, reinterpret_cast<sockaddr*>(&address), &size) == 0)
            port_ = ntohs(address.sin_port);
    }
    ~DeadPort() { ::close(fd_); }
    DeadPort(const DeadPort&) = delete;
    DeadPort& operator=(const DeadPort&) = delete;
    std::string endpoint() const { return "127.0.0.1:" + std::to_string(port_); }

private:
    int fd_;
    int port_ = 0;
};

bool says(const std::string& output, const std::string& text) { return output.find(text) != std::string::npos; }

TEST_F(KarvelCli, CheckMovesEachAxisBothWaysSwitchesEachEffectAndReportsEveryDeviceAnswering) {
    const sim::Ports ports = seat_.ports();
    ChildProcess karvel(command({"check", "--hold", "0.1"}));
    // What the seat went through, in order: each stage holds for 0.1 s.
    using Stage = std::function<bool(const sim::SimSnapshot&)>;
    const auto near = [](double value, double wanted, double within) { return std::abs(value - wanted) < within; };
    const std::vector<std::pair<const char*, Stage>> stages = {
        {"pitch +5", [&](const sim::SimSnapshot& s) { return near(s.motion.posture.pitch, 5, 0.1); }},
        {"pitch -5", [&](const sim::SimSnapshot& s) { return near(s.motion.posture.pitch, -5, 0.1); }},
        {"roll +5", [&](const sim::SimSnapshot& s) { return near(s.motion.posture.roll, 5, 0.1); }},
        {"roll -5", [&](const sim::SimSnapshot& s) { return near(s.motion.posture.roll, -5, 0.1); }},
        {"yaw +15", [&](const sim::SimSnapshot& s) { return near(s.motion.posture.yaw, 15, 0.2); }},
        {"yaw -15", [&](const sim::SimSnapshot& s) { return near(s.motion.posture.yaw, -15, 0.2); }},
        {"height 0.65", [&](const sim::SimSnapshot& s) { return near(s.motion.posture.height, 0.65, 0.005); }},
        {"height 0.35", [&](const sim::SimSnapshot& s) { return near(s.motion.posture.height, 0.35, 0.005); }},
        {"fan 1", [](const sim::SimSnapshot& s) { return s.effects.windLevel == 1; }},
        {"mist 1", [](const sim::SimSnapshot& s) { return s.effects.mistLevel == 1; }},
        {"scent 1", [](const sim::SimSnapshot& s) { return s.effects.scentLevel == 1; }},
        {"heater", [](const sim::SimSnapshot& s) { return s.effects.heater; }},
    };
    for (const auto& [name, reached] : stages)
        ASSERT_TRUE(reached(seat_.waitFor(reached, kRunLimit))) << name << "\n" << karvel.output();
    ASSERT_EQ(karvel.wait(kRunLimit), 0) << karvel.output();
    const std::string output = karvel.output();
    expectEveryFrameWithinTheEnvelopeAndHome(output);
    EXPECT_EQ(seat_.snapshot().effects.scentLevel, 0);
    EXPECT_TRUE(says(output, ", effects off\n")) << output;
    EXPECT_TRUE(says(output, "check: relay board at 127.0.0.1:" + std::to_string(ports.relay) + ": answered\n"));
    EXPECT_TRUE(says(output, "check: fan speed controller at 127.0.0.1:" + std::to_string(ports.speed) + ": answered\n"));
    EXPECT_TRUE(says(output, "check: both effects devices answered")) << output;
}

// A device that is off: the command, the device, what the end line and the check say.
struct DeviceOffCase {
    const char* name;
    std::vector<std::string> command;
    bool fanOff; // else the relay board
    std::string endLine;
    int status;
};

void PrintTo(const DeviceOffCase& c, std::ostream* out) { *out << c.name; }

class KarvelDeviceOff : public KarvelCli, public ::testing::WithParamInterface<DeviceOffCase> {};

TEST_P(KarvelDeviceOff, IsNamedAndTheOtherDeviceEndsOff) {
    const DeviceOffCase& c = GetParam();
    const DeadPort off;
    std::vector<std::string> line = command(c.command);
    const std::string option = c.fanOff ? "--speed=" : "--relay=";
    for (std::string& word : line)
        if (word.rfind(option, 0) == 0) word = option + off.endpoint();
    const RunResult result = runToEnd(line, kRunLimit);
    EXPECT_EQ(result.status, c.status) << result.output;
    EXPECT_TRUE(says(result.output, "frames sent (home included), 0 given way" + c.endLine + "\n")) << result.output;
    EXPECT_FALSE(says(result.output, "given way, effects off\n")) << result.output;
    if (c.command[0] == "check") {
        const std::string device = c.fanOff ? "fan speed controller" : "relay board";
        const std::string other = c.fanOff ? "relay board" : "fan speed controller";
        EXPECT_TRUE(says(result.output, "check: " + device + " at " + off.endpoint() + ": did not answer (")) << result.output;
        EXPECT_TRUE(says(result.output, "check: " + other + " at 127.0.0.1:")) << result.output;
        EXPECT_TRUE(says(result.output, "check: 1 of 2 effects devices failed")) << result.output;
    }
    // The device that answered was turned off; the seat is home.
    const sim::SimSnapshot s = seat_.waitFor(
        [&](const sim::SimSnapshot& x) { return x.motion.frames >= framesReported(result.output); }, kDeadline);
    EXPECT_EQ(s.motion.frames, framesReported(result.output));
    EXPECT_NEAR(s.motion.posture.height, 0.5, 1e-4);
    EXPECT_EQ(s.effects.fanSpeed, 0);
    EXPECT_EQ(s.effects.mistLevel, 0);
    EXPECT_EQ(s.effects.scentLevel, 0);
    EXPECT_FALSE(s.effects.heater);
    EXPECT_GT((c.fanOff ? s.relay : s.speed).requests, 0u) << "the device that is on was driven";
}

INSTANTIATE_TEST_SUITE_P(
    Cases, KarvelDeviceOff,
    ::testing::Values(
        DeviceOffCase{"CheckWithTheFanControllerOff", {"check", "--hold", "0"}, true,
                      ", effects off at the relay board; not confirmed: the fan speed controller did not answer", 1},
        DeviceOffCase{"CheckWithTheRelayBoardOff", {"check", "--hold", "0"}, false,
                      ", effects off at the fan speed controller; not confirmed: the relay board did not answer", 1},
        DeviceOffCase{"DemoWithTheFanControllerOff", {"demo", "--seconds", "1"}, true,
                      ", effects off at the relay board; not confirmed: the fan speed controller did not answer", 0}),
    [](const ::testing::TestParamInfo<DeviceOffCase>& param) { return param.param.name; });

} // namespace
} // namespace karvel::tools::test
