// The effects path through the real shared library against Modbus servers we
// did not write: pymodbus serves a relay board ("Modbus-TCP") and a fan speed
// controller ("RTU-over-TCP"), libmodbus a second kind of relay board. What
// counts is the coils and registers as those servers hold them. These tests
// configure the library and so bind its fixed UDP source port 8410.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdint>
#include <memory>
#include <ostream>
#include <string>
#include <vector>

#include "peers/PeerProcess_posix.h"
#include "support/LoadedKarvel.h"
#include "support/Timing.h"
#include "support/UdpReceiver.h"

using karvel::test::LogCapture;
using karvel::test::PeerProcess;
using karvel::test::UdpReceiver;

namespace {

constexpr int kOrvida = 1;
constexpr const char* kLoopback = "127.0.0.1";
// Debian's pymodbus belongs to the system interpreter, whatever python3 is first on PATH.
constexpr const char* kSystemPython = "/usr/bin/python3";
constexpr int kCoils = 16;
constexpr int kRegisters = 8;

// The device map.
constexpr int kFanSpeedRegister = 3;
constexpr int kWaterMistFirstCoil = 4;
constexpr int kScentFirstCoil = 8;
constexpr int kHeaterCoil = 15;
// How long release gives the effects still queued (the library's stop time-out).
constexpr double kStopTimeoutSeconds = 2.0;

struct DeviceState {
    std::vector<int> coils;
    std::vector<int> registers;

    bool operator==(const DeviceState& other) const { return coils == other.coils && registers == other.registers; }

    // Coil i is bit i of the mask.
    static DeviceState of(std::uint16_t coilMask, std::vector<int> registers) {
        DeviceState state{std::vector<int>(kCoils), std::move(registers)};
        for (int coil = 0; coil < kCoils; ++coil) state.coils[coil] = (coilMask >> coil) & 1;
        state.registers.resize(kRegisters);
        return state;
    }
    std::string coilMask() const {
        unsigned mask = 0;
        for (int coil = 0; coil < kCoils; ++coil) mask |= coils[coil] ? 1u << coil : 0u;
        return std::to_string(mask);
    }
    std::string registerList() const {
        std::string list;
        for (int value : registers) list += (list.empty() ? "" : ",") + std::to_string(value);
        return list;
    }
    DeviceState& setCoils(int first, const std::vector<int>& states) {
        for (std::size_t i = 0; i < states.size(); ++i) coils[first + i] = states[i];
        return *this;
    }
};

void PrintTo(const DeviceState& state, std::ostream* out) {
    *out << "coils";
    for (int coil : state.coils) *out << ' ' << coil;
    *out << ", registers";
    for (int value : state.registers) *out << ' ' << value;
}

// The integers of the JSON array that follows `"key": ` at or after `from`; empty when absent.
std::vector<int> intArray(const std::string& text, std::size_t from, const std::string& key) {
    std::vector<int> values;
    std::size_t at = text.find("\"" + key + "\": [", from);
    if (at == std::string::npos) return values;
    at = text.find('[', at) + 1;
    const std::size_t end = text.find(']', at);
    while (at < end) {
        std::size_t used = 0;
        values.push_back(std::stoi(text.substr(at, end - at), &used));
        at = text.find_first_not_of(", ", at + used);
    }
    return values;
}

// One server process with named devices ("relay", "fan"), each on its own port.
class ModbusPeer {
public:
    explicit ModbusPeer(const std::vector<std::string>& argv) : process_(argv) {
        ports_ = process_.readLine().value_or("");
        if (ports_.empty()) ADD_FAILURE() << argv[0] << " reported no ports";
    }

    int port(const std::string& device) const {
        const std::size_t at = ports_.find("\"" + device + "\": ");
        return at == std::string::npos ? 0 : std::stoi(ports_.substr(at + device.size() + 4));
    }

    // The device as the server holds it now; empty when the server does not answer.
    DeviceState state(const std::string& device) {
        if (!process_.writeLine("dump")) return {};
        const std::string dump = process_.readLine().value_or("");
        const std::size_t at = dump.find("\"" + device + "\": {");
        if (at == std::string::npos) return {};
        return DeviceState{intArray(dump, at, "coils"), intArray(dump, at, "registers")};
    }

private:
    PeerProcess process_;
    std::string ports_;
};

struct Device {
    ModbusPeer* server;
    std::string name;

    int port() const { return server->port(name); }
    DeviceState state() const { return server->state(name); }
    // Effect calls are queued: whether the device comes to hold `expected` within the deadline.
    ::testing::AssertionResult reaches(const DeviceState& expected) const {
        const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(10);
        DeviceState seen = state();
        while (!(seen == expected) && std::chrono::steady_clock::now() < end) seen = state();
        if (seen == expected) return ::testing::AssertionSuccess();
        return ::testing::AssertionFailure() << "the " << name << " holds " << ::testing::PrintToString(seen)
                                             << "\n instead of " << ::testing::PrintToString(expected);
    }
};

enum class RelayServer { Pymodbus, Libmodbus };

std::string relayServerName(const ::testing::TestParamInfo<RelayServer>& info) {
    return info.param == RelayServer::Pymodbus ? "PymodbusRelay" : "LibmodbusRelay";
}

void PrintTo(RelayServer server, std::ostream* out) {
    *out << (server == RelayServer::Pymodbus ? "pymodbus" : "libmodbus") << " relay board";
}

// A relay board and a fan speed controller: pymodbus always serves the fan
// (RTU over TCP), and the relay board too unless libmodbus serves it.
class DevicePair {
public:
    DevicePair(RelayServer relayServer, const DeviceState& relayStart, const DeviceState& fanStart) {
        std::vector<std::string> pymodbus = {kSystemPython,       KARVEL_PYMODBUS_SERVER, "--fan-coils",
                                             fanStart.coilMask(), "--fan-registers",      fanStart.registerList()};
        if (relayServer == RelayServer::Pymodbus) {
            pymodbus.insert(pymodbus.end(),
                            {"--relay-coils", relayStart.coilMask(), "--relay-registers", relayStart.registerList()});
        } else {
            libmodbus_ = std::make_unique<ModbusPeer>(std::vector<std::string>{
                KARVEL_LIBMODBUS_SERVER, "--coils", relayStart.coilMask(), "--registers", relayStart.registerList()});
        }
        pymodbus_ = std::make_unique<ModbusPeer>(pymodbus);
    }

    Device relay() const { return {libmodbus_ ? libmodbus_.get() : pymodbus_.get(), "relay"}; }
    Device fan() const { return {pymodbus_.get(), "fan"}; }

private:
    std::unique_ptr<ModbusPeer> pymodbus_;
    std::unique_ptr<ModbusPeer> libmodbus_;
};

// Outputs outside the device map are set, so that a write that strays past its coils or register shows.
const DeviceState kRelayStart = DeviceState::of(0x780F, {11, 12, 13, 14, 15, 16, 17, 18});
const DeviceState kFanStart = DeviceState::of(0x00FF, {5, 6, 7, 0, 9, 10, 11, 12});

DeviceState withFanSpeed(DeviceState state, int value) {
    state.registers[kFanSpeedRegister] = value;
    return state;
}

class IndependentPeer : public ::testing::TestWithParam<RelayServer> {
protected:
    void SetUp() override {
        lib().Release();
        log().clear();
    }
    void TearDown() override {
        lib().Release();
        // Every request was accepted: no time-out, bad reply or refused connection on the way.
        EXPECT_EQ(log().linesStartingWith("[Ridova][ERROR]"), std::vector<std::string>{});
    }

    static karvel::host::KarvelLibrary& lib() { return karvel::test::karvelLibrary(); }
    static LogCapture& log() { return LogCapture::instance(); }

    bool configure(const DevicePair& devices) {
        const bool configured = lib().SetConfiguration(kOrvida, kLoopback, receiver_.port(), 1, kLoopback,
                                                       devices.relay().port(), kLoopback, devices.fan().port());
        return configured && log().contains("[Ridova][INFO] Effects initialized successfully.");
    }

    // Wind 3, water mist 3, scent 1 and the heater on, as far as the devices hold them.
    static ::testing::AssertionResult switchOn(const DevicePair& devices) {
        lib().SetWindSpeed(3);
        lib().SetWaterMist(3);
        lib().SetScent(1);
        lib().SetHeater(1);
        const DeviceState relay = DeviceState(kRelayStart)
                                      .setCoils(kWaterMistFirstCoil, {1, 0, 0, 1})
                                      .setCoils(kScentFirstCoil, {1, 0, 1})
                                      .setCoils(kHeaterCoil, {1});
        ::testing::AssertionResult relayOn = devices.relay().reaches(relay);
        return relayOn ? devices.fan().reaches(withFanSpeed(kFanStart, 100)) : relayOn;
    }

    UdpReceiver receiver_;
};

} // namespace

TEST_P(IndependentPeer, EveryLevelOfEveryEffectLandsOnItsOutputs) {
    const DevicePair devices(GetParam(), kRelayStart, kFanStart);
    ASSERT_TRUE(configure(devices));
    struct Step {
        int level;
        std::vector<int> outputs; // the register value, or the effect's coils in address order
    };
    // Each step changes the outputs, so that reaching its state shows the request ran.
    const Step wind[] = {{1, {50}}, {2, {70}}, {3, {100}}, {5, {0}}, {3, {100}}, {-1, {0}}, {2, {70}}, {0, {0}}};
    const std::vector<Step> mist = {{1, {1, 1, 0, 0}}, {2, {1, 0, 1, 0}}, {3, {1, 0, 0, 1}},  {0, {0, 0, 0, 0}},
                                    {9, {1, 0, 0, 0}}, {2, {1, 0, 1, 0}}, {-1, {1, 0, 0, 0}}, {0, {0, 0, 0, 0}}};
    const std::vector<Step> scent = {{1, {1, 0, 1}}, {2, {0, 1, 1}}, {0, {0, 0, 0}},
                                     {3, {0, 0, 1}}, {1, {1, 0, 1}}, {0, {0, 0, 0}}};
    const std::vector<Step> heater = {{1, {1}}, {0, {0}}, {5, {1}}, {0, {0}}};

    for (const Step& step : wind) {
        SCOPED_TRACE("wind " + std::to_string(step.level));
        lib().SetWindSpeed(step.level);
        EXPECT_TRUE(devices.fan().reaches(withFanSpeed(kFanStart, step.outputs[0])));
    }
    const struct {
        const char* name;
        std::vector<Step> steps;
        void (*call)(int);
        int firstCoil;
    } relayEffects[] = {{"water mist", mist, lib().SetWaterMist, kWaterMistFirstCoil},
                        {"scent", scent, lib().SetScent, kScentFirstCoil},
                        {"heater", heater, lib().SetHeater, kHeaterCoil}};
    for (const auto& effect : relayEffects) {
        for (const Step& step : effect.steps) {
            SCOPED_TRACE(std::string(effect.name) + " " + std::to_string(step.level));
            effect.call(step.level);
            EXPECT_TRUE(devices.relay().reaches(DeviceState(kRelayStart).setCoils(effect.firstCoil, step.outputs)));
        }
    }
    EXPECT_EQ(devices.fan().state(), kFanStart);
}

TEST_P(IndependentPeer, TurnOffAllEffectsClearsEveryOutput) {
    const DevicePair devices(GetParam(), kRelayStart, kFanStart);
    ASSERT_TRUE(configure(devices));
    ASSERT_TRUE(switchOn(devices));

    lib().TurnOffAllEffects();
    EXPECT_TRUE(devices.relay().reaches(kRelayStart));
    EXPECT_TRUE(devices.fan().reaches(kFanStart));
}

TEST_P(IndependentPeer, TurnOffRightBeforeReleaseStillReachesTheDevices) {
    const DevicePair devices(GetParam(), kRelayStart, kFanStart);
    ASSERT_TRUE(configure(devices));
    ASSERT_TRUE(switchOn(devices));

    lib().TurnOffAllEffects();
    lib().Release();
    // Release runs the jobs queued before it: the devices are off once it returns.
    EXPECT_EQ(devices.relay().state(), kRelayStart);
    EXPECT_EQ(devices.fan().state(), kFanStart);
}

// A game setting effects every frame: the devices keep up with the last
// levels asked, and the off asked before release is what they hold after it.
TEST_P(IndependentPeer, ASixtyHertzStreamEndsInTheOffAskedBeforeRelease) {
    const DevicePair devices(GetParam(), kRelayStart, kFanStart);
    ASSERT_TRUE(configure(devices));
    karvel::test::atSixtyHertz(2.0, [](int n) {
        lib().SetWaterMist(n % 4);
        lib().SetScent(n % 3);
        lib().SetWindSpeed(n % 4);
    });
    lib().TurnOffAllEffects();
    const auto start = std::chrono::steady_clock::now();
    lib().Release();
    EXPECT_LT(karvel::test::secondsSince(start), kStopTimeoutSeconds + 1.0);
    EXPECT_EQ(devices.relay().state(), kRelayStart);
    EXPECT_EQ(devices.fan().state(), kFanStart);
}

TEST_P(IndependentPeer, EndpointSwitchTurnsTheOldPairOffAndLeavesTheNewPairAlone) {
    const DevicePair old(GetParam(), kRelayStart, kFanStart);
    // The new pair starts with every output on, so that a stray off write shows.
    const DeviceState newRelayStart = DeviceState::of(0xFFFF, {21, 22, 23, 24, 25, 26, 27, 28});
    const DeviceState newFanStart = DeviceState::of(0xFFFF, {31, 32, 33, 100, 35, 36, 37, 38});
    const DevicePair fresh(GetParam() == RelayServer::Pymodbus ? RelayServer::Libmodbus : RelayServer::Pymodbus,
                           newRelayStart, newFanStart);
    ASSERT_TRUE(configure(old));
    ASSERT_TRUE(switchOn(old));

    ASSERT_TRUE(lib().SetEffectsEndpoints(kLoopback, fresh.relay().port(), kLoopback, fresh.fan().port()));
    // The effects worker writes the old pair off once the switch has returned.
    EXPECT_TRUE(old.relay().reaches(kRelayStart));
    EXPECT_TRUE(old.fan().reaches(kFanStart));
    EXPECT_TRUE(log().waitFor("[Ridova][INFO] EffectsController old relay board turned off: 127.0.0.1:" +
                              std::to_string(old.relay().port())));
    EXPECT_TRUE(log().waitFor("[Ridova][INFO] EffectsController old fan speed controller turned off: 127.0.0.1:" +
                              std::to_string(old.fan().port())));
    EXPECT_EQ(fresh.relay().state(), newRelayStart);
    EXPECT_EQ(fresh.fan().state(), newFanStart);

    // Effects now reach the new pair only.
    lib().SetHeater(0);
    lib().SetWindSpeed(1);
    EXPECT_TRUE(fresh.relay().reaches(DeviceState(newRelayStart).setCoils(kHeaterCoil, {0})));
    EXPECT_TRUE(fresh.fan().reaches(withFanSpeed(newFanStart, 50)));
    EXPECT_EQ(old.relay().state(), kRelayStart);
    EXPECT_EQ(old.fan().state(), kFanStart);
}

// Registering the seat again drops the devices of the first registration:
// they end with every output off, as the servers hold them.
TEST_P(IndependentPeer, ReconfigurationTurnsTheOldPairOff) {
    const DevicePair old(GetParam(), kRelayStart, kFanStart);
    ASSERT_TRUE(configure(old));
    ASSERT_TRUE(switchOn(old));

    ASSERT_TRUE(lib().SetConfiguration(kOrvida, kLoopback, receiver_.port(), 0, "", 0, "", 0));
    EXPECT_EQ(old.relay().state(), kRelayStart);
    EXPECT_EQ(old.fan().state(), kFanStart);
}

INSTANTIATE_TEST_SUITE_P(RelayBoards, IndependentPeer, ::testing::Values(RelayServer::Pymodbus, RelayServer::Libmodbus),
                         relayServerName);
