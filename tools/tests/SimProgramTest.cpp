// karvel-sim as the program a user runs (a Windows program in the Windows
// build): the real library drives it, it counts every frame and answers every
// effect, it listens on the address it is given, and Ctrl-C ends it with its
// summary.
#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include <csignal>
#include <cstdio>
#include <functional>
#include <regex>
#include <thread>

#include "ChildProcess.h"
#include "HttpProbe.h"
#include "SimFixture.h"
#include "support/SocketLibrary.h"
#include "support/UdpReceiver.h"

namespace karvel::tools::test {
namespace {

using namespace std::chrono_literals;

constexpr std::chrono::milliseconds kStartLimit{30000}; // a first start under wine is slow

// A karvel-sim process with all its ports chosen by the system.
class SimProgram {
public:
    explicit SimProgram(std::vector<std::string> options) : process_(withPorts(std::move(options))) {
        karvel::test::useSocketLibrary();
        if (!process_.waitForOutput("\n  ", kStartLimit)) return;
        std::sscanf(process_.output().c_str(), "karvel-sim ready: motion=%d relay=%d speed=%d http=%d", &ports_.motion,
                    &ports_.relay, &ports_.speed, &ports_.http);
    }

    ChildProcess& process() { return process_; }
    const sim::Ports& ports() const { return ports_; }
    bool ready() const { return ports_.http != 0; }
    net::Ipv4Endpoint at(const char* address, int port) const {
        net::Ipv4Endpoint endpoint;
        net::parseIpv4(address, endpoint.octets);
        endpoint.port = static_cast<std::uint16_t>(port);
        return endpoint;
    }
    nlohmann::json state(const char* address = "127.0.0.1") const {
        const HttpAnswer answer = httpGet(at(address, ports_.http), "/api/state");
        return answer.status == 200 ? nlohmann::json::parse(answer.body) : nlohmann::json();
    }
    // Polls the state until `condition` holds; the last state.
    nlohmann::json waitFor(const std::function<bool(const nlohmann::json&)>& condition) const {
        const auto deadline = std::chrono::steady_clock::now() + kDeadline;
        nlohmann::json current = state();
        while (!(current.is_object() && condition(current)) && std::chrono::steady_clock::now() < deadline) {
            std::this_thread::sleep_for(20ms); // another process's state has nothing to wait on
            current = state();
        }
        return current;
    }

private:
    static std::vector<std::string> withPorts(std::vector<std::string> options) {
        options.insert(options.begin(), {KARVEL_SIM_PATH, "--motion-port", "0", "--relay-port", "0", "--speed-port",
                                         "0", "--http-port", "0"});
        return options;
    }

    ChildProcess process_;
    sim::Ports ports_;
};

bool effectsOff(const nlohmann::json& s) {
    const nlohmann::json& e = s["effects"];
    return e["fanSpeed"] == 0 && e["mist"] == 0 && e["scent"] == 0 && e["heater"] == false;
}

TEST(KarvelSimProgram, TakesEveryFrameAndEffectFromTheLibraryAndEndsWithItsSummary) {
    SimProgram sim({"--model", "orvida"});
    ASSERT_TRUE(sim.ready()) << sim.process().output();
    const sim::Ports ports = sim.ports();
    auto& karvel = karvel::test::karvelLibrary();
    ASSERT_TRUE(karvel.SetConfiguration(1, "127.0.0.1", ports.motion, 1, "127.0.0.1", ports.relay, "127.0.0.1",
                                        ports.speed));
    // In fours, each four received before the next: the library's queue never has to drop one.
    std::uint64_t sent = 0;
    for (int batch = 0; batch < 25; ++batch) {
        for (int i = 0; i < 4; ++i, ++sent)
            karvel.SendSeatPosture(0.1f * static_cast<float>(sent % 50), -0.05f * static_cast<float>(sent % 50),
                                   0.5f * static_cast<float>(sent % 50), 0.5f);
        ASSERT_EQ(sim.waitFor([&](const nlohmann::json& s) { return s["motion"]["frames"] == sent; })["motion"]["frames"],
                  sent);
    }
    karvel.SetWindSpeed(3);
    karvel.SetWaterMist(2);
    karvel.SetScent(1);
    karvel.SetHeater(1);
    const nlohmann::json on = sim.waitFor([](const nlohmann::json& s) {
        const nlohmann::json& e = s["effects"];
        return e["fanSpeed"] == 100 && e["mist"] == 2 && e["scent"] == 1 && e["heater"] == true;
    });
    EXPECT_EQ(on["effects"]["windName"], "high");
    karvel.TurnOffAllEffects();
    karvel.ResetPosition();
    const nlohmann::json end =
        sim.waitFor([&](const nlohmann::json& s) { return s["motion"]["frames"] == sent + 1 && effectsOff(s); });
    karvel.Release();
    EXPECT_EQ(end["motion"]["frames"], sent + 1) << "every posture and the home";
    EXPECT_TRUE(effectsOff(end)) << end["effects"].dump();
    EXPECT_EQ(end["motion"]["malformed"], 0);
    EXPECT_EQ(end["relay"]["malformed"], 0);
    EXPECT_EQ(end["speed"]["malformed"], 0);
    EXPECT_NEAR(end["motion"]["posture"]["height"].get<double>(), 0.5, 1e-4) << "home";
    EXPECT_EQ(end["session"]["number"], 1) << "one host, one session";

    sim.process().signal(SIGINT);
    EXPECT_EQ(sim.process().wait(kDeadline), 0);
    const std::string output = sim.process().output();
    EXPECT_NE(output.find("virtual seat (Orvida): 101 frames received, 0 malformed"), std::string::npos) << output;
    EXPECT_NE(output.find("effects: fan 0 (off), water mist off, scent off, heater off"), std::string::npos) << output;
}

// The host `karvel` (the Windows program in the Windows build) drives the
// program: every frame it counts as sent arrives, and the relay board's
// coils and the fan controller's registers all end at zero.
TEST(KarvelSimProgram, KarvelDemoArrivesWholeAndEndsWithEveryOutputOff) {
    SimProgram sim({"--model", "orvida"});
    ASSERT_TRUE(sim.ready()) << sim.process().output();
    const sim::Ports ports = sim.ports();
    const auto at = [](int port) { return "127.0.0.1:" + std::to_string(port); };
    const RunResult demo = runToEnd({KARVEL_HOST_PATH, "demo", "--seconds", "1", "--udp", at(ports.motion), "--relay",
                                     at(ports.relay), "--speed", at(ports.speed)},
                                    kStartLimit + kDeadline);
    ASSERT_EQ(demo.status, 0) << demo.output;
    unsigned long long sent = 0, asked = 0, givenWay = 0;
    const std::string::size_type line = demo.output.rfind("karvel: ");
    ASSERT_NE(line, std::string::npos) << demo.output;
    ASSERT_EQ(std::sscanf(demo.output.c_str() + line,
                          "karvel: %llu of %llu frames sent (home included), %llu given way", &sent, &asked, &givenWay),
              3)
        << demo.output;
    EXPECT_GT(sent, 40u) << demo.output;
    EXPECT_TRUE(std::regex_search(demo.output, std::regex("given way, effects off\r?\n"))) << demo.output;

    const nlohmann::json end = sim.waitFor([&](const nlohmann::json& s) { return s["motion"]["frames"] >= sent; });
    EXPECT_EQ(end["motion"]["frames"], sent) << "every frame karvel sent, no other";
    EXPECT_EQ(end["motion"]["malformed"], 0);
    EXPECT_NEAR(end["motion"]["posture"]["height"].get<double>(), 0.5, 1e-4) << "home";
    EXPECT_TRUE(effectsOff(end)) << end["effects"].dump();
    EXPECT_GT(end["relay"]["requests"].get<int>(), 0);
    EXPECT_GT(end["speed"]["requests"].get<int>(), 0);
    for (const bool coil : end["relay"]["coils"]) EXPECT_FALSE(coil) << end["relay"]["coils"].dump();
    for (const int value : end["speed"]["registers"]) EXPECT_EQ(value, 0) << end["speed"]["registers"].dump();
}

// Whether a TCP connection to the address and port is taken.
bool accepts(const net::Ipv4Endpoint& endpoint) {
    const net::SocketHandle socket = net::openTcpSocket();
    const bool connected = net::connectTo(socket, endpoint, 5000);
    net::closeSocket(socket);
    return connected;
}

TEST(KarvelSimProgram, ListensOnTheAddressItIsGiven) {
    SimProgram sim({"--bind", "127.0.0.2"});
    ASSERT_TRUE(sim.ready()) << sim.process().output();
    EXPECT_NE(sim.process().output().find("motion controller udp 127.0.0.2:"), std::string::npos);
    EXPECT_NE(sim.process().output().find("live view: http://127.0.0.2:"), std::string::npos);
    for (const int port : {sim.ports().relay, sim.ports().speed, sim.ports().http}) {
        EXPECT_TRUE(accepts(sim.at("127.0.0.2", port))) << port;
        EXPECT_FALSE(accepts(sim.at("127.0.0.1", port))) << port;
    }
    const nlohmann::json state = sim.state("127.0.0.2");
    ASSERT_TRUE(state.is_object());
    EXPECT_EQ(state["address"], "127.0.0.2");

    // A frame to the wrong address, then one to the right one, each from a socket of its own.
    const std::vector<std::uint8_t> frame = karvel::test::expectedFrame(103002, 180000, 73604, 420000);
    for (const char* address : {"127.0.0.1", "127.0.0.2"}) {
        const net::SocketHandle sender = net::openUdpSocket();
        net::sendTo(sender, frame.data(), frame.size(), sim.at(address, sim.ports().motion));
        net::closeSocket(sender);
    }
    const auto deadline = std::chrono::steady_clock::now() + kDeadline;
    nlohmann::json seen = sim.state("127.0.0.2");
    while (seen["motion"]["frames"] == 0 && std::chrono::steady_clock::now() < deadline) seen = sim.state("127.0.0.2");
    EXPECT_EQ(seen["motion"]["frames"], 1) << "only the frame sent to 127.0.0.2";
}

TEST(KarvelSimProgram, ListensOnLoopbackOnlyByDefault) {
    SimProgram sim({});
    ASSERT_TRUE(sim.ready()) << sim.process().output();
    for (const int port : {sim.ports().relay, sim.ports().speed, sim.ports().http}) {
        EXPECT_TRUE(accepts(sim.at("127.0.0.1", port))) << port;
        EXPECT_FALSE(accepts(sim.at("127.0.0.2", port))) << port;
    }
    EXPECT_EQ(sim.state()["address"], "127.0.0.1");
}

TEST(KarvelSimProgram, RefusesAnAddressItCannotUse) {
    const RunResult name = runToEnd({KARVEL_SIM_PATH, "--bind", "localhost"}, kStartLimit);
    EXPECT_EQ(name.status, 2);
    EXPECT_NE(name.output.find("--bind takes an IPv4 address"), std::string::npos) << name.output;
    // 192.0.2.1 (a documentation address) is no address of this machine.
    const RunResult foreign = runToEnd({KARVEL_SIM_PATH, "--bind", "192.0.2.1", "--motion-port", "0"}, kStartLimit);
    EXPECT_EQ(foreign.status, 1);
    EXPECT_NE(foreign.output.find("karvel-sim: cannot "), std::string::npos) << foreign.output;
    EXPECT_NE(foreign.output.find(" 192.0.2.1:"), std::string::npos) << foreign.output;
}

} // namespace
} // namespace karvel::tools::test
