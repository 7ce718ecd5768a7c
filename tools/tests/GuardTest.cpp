// The guard against the virtual seat: a host killed mid-ride (karvel cue, and
// a game driving the seat through the engine plugin) leaves the seat to its
// guard, which parks it softly and turns every effect off; a clean end sends
// nothing more; the guard waits while another program holds UDP port 8410,
// gives up after its bound, and `karvel stop` then parks the seat from the
// state the guard kept.
//
// How long a park takes is measured from the moment the guard's state file
// says "parking" (polled every few milliseconds, so the measure is if anything
// short by that) to the first moment the virtual seat is home with every
// effect off; it must be within the park time of the envelope the guard was
// given, plus a second.
#include <gtest/gtest.h>

#include <signal.h>

#include <cerrno>
#include <cmath>
#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <regex>
#include <thread>

#include "CliFixture.h"
#include "GuardSpawn.h"
#include "SeatGuard/WatchedSeat.h"
#include "StateFile.h"
#include "platform/SocketServices.h"

namespace karvel::tools::test {
namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

constexpr std::chrono::milliseconds kPoll{5};

bool effectsOn(const sim::SimSnapshot& s) { return s.effects.fanSpeed > 0 && s.effects.heater && s.effects.mistLevel > 0; }

// Polls `condition` until it holds; false at the deadline.
template <typename Condition>
bool pollUntil(Condition condition, std::chrono::milliseconds deadline = kRunLimit) {
    const Clock::time_point giveUp = Clock::now() + deadline;
    while (!condition()) {
        if (Clock::now() >= giveUp) return false;
        std::this_thread::sleep_for(kPoll);
    }
    return true;
}

// The state file of a test's guard, as karvel stop reads it.
class GuardState {
public:
    explicit GuardState(const std::string& dir) : file_(dir) {}

    KarvelSeat::WatchedSeat read() const {
        std::string problems;
        const std::optional<KarvelSeat::WatchedSeat> seat = file_.read(problems);
        return seat ? *seat : KarvelSeat::WatchedSeat();
    }
    std::string phase() const { return read().Phase; }
    bool phaseIs(const std::string& word) const { return phase().rfind(word, 0) == 0; }
    // The guard's process id, from its phase line ("... guard 4243)").
    int guardPid() const {
        std::smatch match;
        const std::string text = phase();
        return std::regex_search(text, match, std::regex("guard ([0-9]+)\\)")) ? std::stoi(match[1]) : 0;
    }
    // Waits until the guard whose phase is recorded has ended.
    bool guardEnded() const {
        const int pid = guardPid();
        return pid > 0 && pollUntil([pid] { return ::kill(pid, 0) != 0 && errno == ESRCH; });
    }

private:
    guard::StateFile file_;
};

// UDP port 8410 taken, as another host would take it, while this lives.
class PortHolder {
public:
    PortHolder() : socket_(net::openUdpSocket()) {
        if (!net::bindAnyAddress(socket_, 8410)) ADD_FAILURE() << "cannot take UDP port 8410";
    }
    ~PortHolder() { free(); }
    void free() {
        if (socket_ != net::kInvalidSocket) net::closeSocket(socket_);
        socket_ = net::kInvalidSocket;
    }

private:
    net::SocketHandle socket_;
};

class KarvelGuard : public KarvelCli {
protected:
    GuardState state_{stateDir_};

    // After the host's end: the guard parks within its envelope's park time
    // and a second, from its "parking" line to the seat home with every
    // effect off, and no frame of the whole session beyond the envelope.
    void expectParkedSoftly() {
        ASSERT_TRUE(pollUntil([&] { return state_.phaseIs("parking"); })) << state_.phase();
        const Clock::time_point parking = Clock::now();
        const double parkSeconds = state_.read().Envelope.ParkSeconds;
        const sim::SimSnapshot s = seat_.waitFor(
            [](const sim::SimSnapshot& x) { return atHome(x.motion.posture) && everyEffectOff(x); }, kRunLimit);
        const double took = std::chrono::duration<double>(Clock::now() - parking).count();
        ASSERT_TRUE(atHome(s.motion.posture) && everyEffectOff(s)) << state_.phase();
        EXPECT_LE(took, parkSeconds + 1.0) << "park time " << parkSeconds << " s";
        EXPECT_EQ(s.motion.rates.flagged, 0u) << s.motion.rates.lastFlag;
        EXPECT_EQ(s.motion.malformed(), 0u);
        ASSERT_TRUE(pollUntil([&] { return state_.phaseIs("parked"); })) << state_.phase();
        EXPECT_TRUE(state_.guardEnded());
        const KarvelSeat::WatchedSeat after = state_.read();
        EXPECT_EQ(KarvelSeat::PostureLine(after.LastPosture), "posture 0 0 0 0.5\n") << "where the guard left it";
        EXPECT_FALSE(after.Effects.AnyOn());
    }

    // A plugin folder as the zip lays it out: Karvel.dll and the guard beside it.
    std::string pluginDir() const {
        const std::filesystem::path dir = std::filesystem::path(stateDir_) / "plugin";
        const std::filesystem::path binaries = dir / "Binaries/ThirdParty/Win64";
        std::filesystem::create_directories(binaries);
        std::filesystem::copy_file(karvel::test::libraryPath(), binaries / "Karvel.dll",
                                   std::filesystem::copy_options::overwrite_existing);
        std::filesystem::copy_file(KARVEL_GUARD_PATH, binaries / "karvel-guard.exe", // the plugin's name for it
                                   std::filesystem::copy_options::overwrite_existing);
        return dir.string();
    }

    // The game host (the engine stand-in with the plugin) against this seat,
    // its guard's state under the test's folder.
    std::vector<std::string> gameHost(const std::string& endAfter = "") const {
        const sim::Ports ports = seat_.ports();
        std::vector<std::string> line = {KARVEL_GAME_HOST_PATH, pluginDir(), std::to_string(ports.motion),
                                         std::to_string(ports.relay), std::to_string(ports.speed), stateHome()};
        if (!endAfter.empty()) line.push_back(endAfter);
        return line;
    }
    // The per-user folder the plugin's guard is told of (its state folder is karvel/ in it).
    std::string stateHome() const { return stateDir_ + "/home"; }
};

TEST_F(KarvelGuard, KillOfCueMidRideLeavesTheSeatToTheGuardWhichParksItSoftly) {
    ChildProcess host(command({"cue", motionFile("flight-telemetry.csv"), "--profile", "flight"}));
    const sim::SimSnapshot going = seat_.waitFor(
        [](const sim::SimSnapshot& s) {
            return std::abs(s.motion.posture.roll) > 3 || std::abs(s.motion.posture.yaw) > 10;
        },
        kRunLimit);
    ASSERT_GT(std::abs(going.motion.posture.roll) + std::abs(going.motion.posture.yaw), 3) << host.output();
    ASSERT_TRUE(pollUntil([&] { return state_.phaseIs("watching"); })) << "the guard watches\n" << host.output();
    host.signal(SIGKILL);
    ASSERT_TRUE(host.wait(kRunLimit).has_value());
    expectParkedSoftly();
    EXPECT_EQ(state_.read().Envelope.ParkSeconds, KarvelCueing::FlightProfile().ParkSeconds)
        << "the guard parks within the ride's own envelope";
}

TEST_F(KarvelGuard, KillOfAGameMidRideLeavesTheSeatToTheGuardWhichParksItSoftlyAndTurnsEveryEffectOff) {
    ChildProcess game(gameHost());
    ASSERT_TRUE(game.waitForOutput("game host ready", kRunLimit)) << game.output();
    const GuardState plugin(stateHome() + "/karvel");
    const sim::SimSnapshot going = seat_.waitFor(effectsOn, kRunLimit);
    ASSERT_TRUE(effectsOn(going));
    ASSERT_GT(going.motion.posture.yaw, 39);
    ASSERT_TRUE(pollUntil([&] { return plugin.read().LastPosture.Yaw == 40.0f && plugin.read().Effects.Heater; }))
        << "the guard knows the posture and the effects in force\n" << game.output();
    game.signal(SIGKILL);
    ASSERT_TRUE(game.wait(kRunLimit).has_value());
    state_ = plugin;
    expectParkedSoftly();
}

TEST_F(KarvelGuard, ACleanEndSendsNothingMore) {
    const std::string script = writeFile("tilt.txt", "posture 8 -4 40 0.6\nwind 2\nheater on\nwait 1\n");
    const RunResult run = runToEnd(command({"run", "--script", script}), kRunLimit);
    ASSERT_EQ(run.status, 0) << run.output;
    ASSERT_TRUE(pollUntil([&] { return state_.phaseIs("released"); })) << state_.phase();
    ASSERT_TRUE(state_.guardEnded());
    const std::uint64_t sent = framesReported(run.output);
    const sim::SimSnapshot s =
        seat_.waitFor([&](const sim::SimSnapshot& x) { return x.motion.frames >= sent; }, kDeadline);
    EXPECT_EQ(s.motion.frames, sent) << "the guard ended without a frame of its own\n" << run.output;
    EXPECT_TRUE(atHome(s.motion.posture));

    // A game's clean end likewise.
    ChildProcess game(gameHost("2.5"));
    ASSERT_EQ(game.wait(kRunLimit), 0) << game.output();
    ASSERT_NE(game.output().find("game host done"), std::string::npos) << game.output();
    const GuardState plugin(stateHome() + "/karvel");
    ASSERT_TRUE(pollUntil([&] { return plugin.phaseIs("released"); })) << plugin.phase();
    ASSERT_TRUE(plugin.guardEnded());
    const sim::SimSnapshot after = seat_.snapshot();
    EXPECT_TRUE(atHome(after.motion.posture)) << "the game's own end homed the seat";
    EXPECT_TRUE(everyEffectOff(after));
}

// A host that ends while another program holds UDP port 8410: the guard
// waits, sends nothing meanwhile, and parks once the port is free. The test
// is the host here, with the tools' own way to start the guard.
TEST_F(KarvelGuard, WaitsWhileAnotherProgramHoldsThePortAndParksOnceItIsFree) {
    auto& library = karvel::test::karvelLibrary();
    const sim::Ports ports = seat_.ports();
    // The seat tilted and the effects on, by a host that then vanishes without a release.
    ASSERT_TRUE(library.SetConfiguration(1, "127.0.0.1", ports.motion, 1, "127.0.0.1", ports.relay, "127.0.0.1",
                                         ports.speed));
    library.SetWindSpeed(3);
    library.SetWaterMist(2);
    library.SetHeater(1);
    for (int step = 1; step <= 100; ++step) library.SendSeatPosture(6.7f * step / 100, 0, 40.0f * step / 100, 0.5f);
    const sim::SimSnapshot tilted = seat_.waitFor(
        [](const sim::SimSnapshot& s) { return effectsOn(s) && s.motion.posture.yaw > 39.9; }, kDeadline);
    ASSERT_TRUE(effectsOn(tilted));
    library.Release();
    const std::uint64_t framesBefore = tilted.motion.frames;
    const std::uint64_t flagsBefore = tilted.motion.rates.flagged;

    PortHolder holder;
    std::string error;
    std::unique_ptr<KarvelSeat::GuardProcess> guardian = guard::startGuard(
        guard::guardCommand(KARVEL_GUARD_PATH, karvel::test::libraryPath(), stateDir_), error);
    ASSERT_TRUE(guardian) << error;
    KarvelSeat::WatchedSeat told;
    told.HostPid = ::getpid();
    told.HostName = "test";
    told.bSeatKnown = true;
    told.Seat = {1, "127.0.0.1", ports.motion, true, "127.0.0.1", ports.relay, "127.0.0.1", ports.speed};
    told.bPostureKnown = true;
    told.LastPosture = {6.7f, 0, 40, 0.5f};
    told.Effects = {3, 2, 0, true};
    const std::string lines = KarvelSeat::FormatWatchedSeat(told);
    ASSERT_TRUE(guardian->Write(lines.data(), lines.size()));
    guardian->CloseInput(); // the host's end

    ASSERT_TRUE(pollUntil([&] { return state_.phaseIs("waiting for UDP port 8410"); })) << state_.phase();
    EXPECT_EQ(seat_.snapshot().motion.frames, framesBefore) << "nothing sent while the port is held";
    holder.free();
    ASSERT_TRUE(pollUntil([&] { return state_.phaseIs("parking"); })) << state_.phase();
    const sim::SimSnapshot s = seat_.waitFor(
        [](const sim::SimSnapshot& x) { return atHome(x.motion.posture) && everyEffectOff(x); }, kRunLimit);
    EXPECT_TRUE(atHome(s.motion.posture) && everyEffectOff(s));
    EXPECT_EQ(s.motion.rates.flagged, flagsBefore) << s.motion.rates.lastFlag;
    guardian->WaitForExit();
    EXPECT_TRUE(state_.phaseIs("parked")) << state_.phase();
}

// The port stays in use beyond the guard's bound: it gives up without a
// frame; `karvel stop` parks the seat later from the state the guard kept.
TEST_F(KarvelGuard, GivesUpWhenThePortStaysInUseAndKarvelStopParksFromItsState) {
    const sim::Ports ports = seat_.ports();
    {
        PortHolder holder;
        std::string error;
        guard::GuardCommand command = guard::guardCommand(KARVEL_GUARD_PATH, karvel::test::libraryPath(), stateDir_);
        command.words.insert(command.words.end(), {"--port-wait", "0.5"});
        std::unique_ptr<KarvelSeat::GuardProcess> guardian = guard::startGuard(command, error);
        ASSERT_TRUE(guardian) << error;
        KarvelSeat::WatchedSeat told;
        told.bSeatKnown = true;
        told.Seat = {1, "127.0.0.1", ports.motion, true, "127.0.0.1", ports.relay, "127.0.0.1", ports.speed};
        told.bPostureKnown = true;
        told.LastPosture = {-5, 3, -60, 0.7f};
        told.Effects = {1, 0, 2, false};
        const std::string lines = KarvelSeat::FormatWatchedSeat(told);
        ASSERT_TRUE(guardian->Write(lines.data(), lines.size()));
        guardian->CloseInput();
        guardian->WaitForExit();
        EXPECT_TRUE(state_.phaseIs("gave up")) << state_.phase();
        EXPECT_EQ(seat_.snapshot().motion.frames, 0u);
    }
    // As if the seat had stood there since (the guard's state says so).
    auto& library = karvel::test::karvelLibrary();
    ASSERT_TRUE(library.SetConfiguration(1, "127.0.0.1", ports.motion, 1, "127.0.0.1", ports.relay, "127.0.0.1",
                                         ports.speed));
    library.SendSeatPosture(-5, 3, -60, 0.7f);
    library.SetWindSpeed(1);
    const sim::SimSnapshot standing = seat_.waitFor(
        [](const sim::SimSnapshot& s) { return s.motion.frames == 1 && s.effects.fanSpeed > 0; }, kDeadline);
    ASSERT_EQ(standing.motion.frames, 1u);
    library.Release();

    const RunResult stop = runToEnd(command({"stop"}), kRunLimit);
    ASSERT_EQ(stop.status, 0) << stop.output;
    EXPECT_NE(stop.output.find("karvel stop: the seat is parked in"), std::string::npos) << stop.output;
    EXPECT_NE(stop.output.find("pitch -5.00, roll 3.00, yaw -60.00, height 0.700"), std::string::npos) << stop.output;
    const sim::SimSnapshot s = seat_.waitFor(
        [](const sim::SimSnapshot& x) { return atHome(x.motion.posture) && everyEffectOff(x); }, kRunLimit);
    EXPECT_TRUE(atHome(s.motion.posture) && everyEffectOff(s));
    EXPECT_GT(s.motion.frames, 20u) << "a ramp, not a jump";
    EXPECT_EQ(s.motion.rates.flagged, 0u) << s.motion.rates.lastFlag;
    EXPECT_TRUE(state_.phaseIs("stopped by karvel stop")) << state_.phase();
}

// Without a state, karvel stop warns and homes the seat of its options at
// once, the effects off.
TEST_F(KarvelGuard, StopWithoutAStateHomesAtOnceWithAWarning) {
    const RunResult stop = runToEnd(command({"stop"}), kRunLimit);
    ASSERT_EQ(stop.status, 0) << stop.output;
    EXPECT_NE(stop.output.find("warning: no seat known in"), std::string::npos) << stop.output;
    EXPECT_NE(stop.output.find("karvel stop: the seat is homed, every effect off"), std::string::npos) << stop.output;
    const sim::SimSnapshot s = seat_.waitFor(
        [](const sim::SimSnapshot& x) { return x.motion.frames >= 1 && everyEffectOff(x); }, kDeadline);
    EXPECT_EQ(s.motion.frames, 1u) << "the home command alone";
    EXPECT_TRUE(atHome(s.motion.posture));
    EXPECT_TRUE(everyEffectOff(s));
}

// karvel stop while a host drives the seat: it waits its bound and sends nothing.
TEST_F(KarvelGuard, StopLeavesASeatAloneWhileTheMotionPortIsInUse) {
    PortHolder holder;
    const RunResult stop = runToEnd(command({"stop", "--port-wait", "0.3"}), kRunLimit);
    EXPECT_EQ(stop.status, 1) << stop.output;
    EXPECT_NE(stop.output.find("UDP port 8410 stayed in use"), std::string::npos) << stop.output;
    EXPECT_EQ(seat_.snapshot().motion.frames, 0u);
}

// Where karvel finds its guard: beside itself, else on the system's search
// path; with none, it says so, even with the library's lines off, and rides
// unguarded to a safe end.
enum class GuardPlace { Beside, OnSearchPath, Nowhere };

class KarvelFindsItsGuard : public KarvelGuard, public ::testing::WithParamInterface<GuardPlace> {
protected:
    void SetUp() override {
        namespace fs = std::filesystem;
        const fs::path moved = fs::path(stateDir_) / "moved";
        const fs::path elsewhere = fs::path(stateDir_) / "path";
        fs::create_directories(moved);
        fs::create_directories(elsewhere);
        program_ = (moved / "karvel").string();
        fs::copy_file(cliPath(), program_);
        if (GetParam() == GuardPlace::Beside) fs::copy_file(KARVEL_GUARD_PATH, moved / "karvel-guard");
        if (GetParam() == GuardPlace::OnSearchPath) fs::copy_file(KARVEL_GUARD_PATH, elsewhere / "karvel-guard");
        const char* path = std::getenv("PATH");
        savedPath_ = path != nullptr ? path : "";
        ::setenv("PATH", (elsewhere.string() + ":" + savedPath_).c_str(), 1);
    }
    void TearDown() override { ::setenv("PATH", savedPath_.c_str(), 1); }

    std::string program_;
    std::string savedPath_;
};

TEST_P(KarvelFindsItsGuard, BesideItselfElseOnTheSearchPath) {
    std::vector<std::string> line = command({"run", "--script", writeFile("nod.txt", "posture 3 0 0 0.5\nwait 0.2\n")},
                                            GetParam() == GuardPlace::Nowhere ? "off" : "info");
    line[0] = program_;
    const RunResult run = runToEnd(line, kRunLimit);
    ASSERT_EQ(run.status, 0) << run.output;
    if (GetParam() == GuardPlace::Nowhere) {
        EXPECT_NE(run.output.find("karvel: guard: cannot start the guard: cannot run karvel-guard: "), std::string::npos)
            << run.output;
        EXPECT_FALSE(state_.read().bSeatKnown) << "no guard kept a state";
    } else {
        EXPECT_NE(run.output.find("karvel: guard: the guard started (process "), std::string::npos) << run.output;
        ASSERT_TRUE(pollUntil([&] { return state_.phaseIs("released"); })) << state_.phase();
        EXPECT_TRUE(state_.guardEnded());
    }
    expectEveryFrameWithinTheEnvelopeAndHome(run.output);
}

std::string placeName(const ::testing::TestParamInfo<GuardPlace>& test) {
    switch (test.param) {
    case GuardPlace::Beside: return "Beside";
    case GuardPlace::OnSearchPath: return "OnSearchPath";
    case GuardPlace::Nowhere: break;
    }
    return "Nowhere";
}

INSTANTIATE_TEST_SUITE_P(Places, KarvelFindsItsGuard,
                         ::testing::Values(GuardPlace::Beside, GuardPlace::OnSearchPath, GuardPlace::Nowhere),
                         placeName);

} // namespace
} // namespace karvel::tools::test
