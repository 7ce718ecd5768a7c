// Every way `karvel` can end, against the virtual seat: a ride that runs out,
// one and two Ctrl-C, SIGTERM, SIGHUP, SIGQUIT, a standard output or error
// that is a broken pipe or closed. Each must leave the seat at home with no
// frame beyond the envelope, every relay coil off and the fan at 0, and count
// as sent only the frames that left the library.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <csignal>
#include <thread>

#include "CliFixture.h"

namespace karvel::tools::test {
namespace {

enum class Ride { Cue, Replay, Run, Demo };
enum class Ending { RunsOut, CtrlC, CtrlCTwice, Term, Hangup, Quit, StdoutBroken, StderrBroken, OutputsClosed };

const char* rideName(Ride ride) {
    switch (ride) {
    case Ride::Cue: return "Cue";
    case Ride::Replay: return "Replay";
    case Ride::Run: return "Run";
    case Ride::Demo: return "Demo";
    }
    return "";
}

const char* endingName(Ending ending) {
    switch (ending) {
    case Ending::RunsOut: return "RunsOut";
    case Ending::CtrlC: return "CtrlC";
    case Ending::CtrlCTwice: return "CtrlCTwice";
    case Ending::Term: return "Term";
    case Ending::Hangup: return "Hangup";
    case Ending::Quit: return "Quit";
    case Ending::StdoutBroken: return "StdoutBroken";
    case Ending::StderrBroken: return "StderrBroken";
    case Ending::OutputsClosed: return "OutputsClosed";
    }
    return "";
}

// The signal an ending sends, 0 for none.
int signalOf(Ending ending) {
    switch (ending) {
    case Ending::CtrlC:
    case Ending::CtrlCTwice: return SIGINT;
    case Ending::Term: return SIGTERM;
    case Ending::Hangup: return SIGHUP;
    case Ending::Quit: return SIGQUIT;
    default: return 0;
    }
}

// Both ends of a pipe, closed on destruction; each end is closed in children.
struct Pipe {
    int read = -1, write = -1;
    Pipe() {
        int ends[2];
        if (pipe2(ends, O_CLOEXEC) != 0) throw std::runtime_error("cannot make a pipe");
        read = ends[0];
        write = ends[1];
    }
    ~Pipe() {
        closeRead();
        closeWrite();
    }
    void closeRead() {
        if (read >= 0) ::close(read);
        read = -1;
    }
    void closeWrite() {
        if (write >= 0) ::close(write);
        write = -1;
    }
};

class KarvelEnding : public KarvelCli, public ::testing::WithParamInterface<std::tuple<Ride, Ending>> {
protected:
    Ride ride() const { return std::get<0>(GetParam()); }
    Ending ending() const { return std::get<1>(GetParam()); }
    bool effects() const { return ride() != Ride::Cue; }

    // A ride that tilts the seat (yaw far round where the command allows it)
    // and turns wind, water and heat on; one that ends by itself after about
    // two seconds, or one that lasts long enough to be stopped.
    std::vector<std::string> words(bool runsOut) const {
        const std::string length = runsOut ? "2" : "60";
        switch (ride()) {
        case Ride::Cue: {
            // Pulling away hard: the seat leans back as far as the profile lets it.
            const std::string rows = "time,ax,ay,az,roll_rate,pitch_rate,yaw_rate\n0,0,0,0,0,60,0\n0.3,9,0,0,0,0,0\n" +
                                     length + ",9,0,0,0,0,0\n";
            return {"cue", writeFile("pull-away.csv", rows)};
        }
        case Ride::Replay: {
            const std::string rows = "time,pitch,roll,yaw,height,wind,mist,heater\n0,0,0,0,0.5,3,2,1\n"
                                     "1,10,5,170,0.8,3,2,1\n" + length + ",10,5,170,0.8,3,2,1\n";
            return {"replay", writeFile("tilted.csv", rows)};
        }
        case Ride::Run:
            return {"run", "--script",
                    writeFile("tilted.txt", "posture 10 5 170 0.8\nwind 3\nmist 2\nheater on\nwait " + length + "\n")};
        case Ride::Demo: return {"demo", "--seconds", length};
        }
        return {};
    }

    // The seat is away from home and the effects are on.
    bool underWay(const sim::SimSnapshot& s) const {
        return std::abs(s.motion.posture.pitch) > 3 && (!effects() || (s.effects.fanSpeed > 0 && !everyEffectOff(s)));
    }
};

TEST_P(KarvelEnding, LeavesTheSeatHomeWithinTheEnvelopeAndEveryEffectOff) {
    const int signal = signalOf(ending());
    Redirect out, err;
    Pipe broken;
    broken.closeRead();
    if (ending() == Ending::StdoutBroken) out = Redirect::descriptor(broken.write);
    if (ending() == Ending::StderrBroken) err = Redirect::descriptor(broken.write);
    if (ending() == Ending::OutputsClosed) out = err = Redirect::closed();
    // The library's lines too, so that the broken or closed stream is written to from its threads.
    ChildProcess host(command(words(signal == 0), signal == 0 ? "info" : "error"), "/dev/null", out, err);
    broken.closeWrite();

    if (signal != 0) {
        const sim::SimSnapshot going = seat_.waitFor([&](const sim::SimSnapshot& s) { return underWay(s); }, kRunLimit);
        ASSERT_TRUE(underWay(going)) << "the ride never got under way\n" << host.output();
        host.signal(signal);
        if (ending() == Ending::CtrlCTwice) {
            // The second once the first is taken: two at once may arrive as one.
            ASSERT_TRUE(host.waitForOutput("karvel: interrupted; parking the seat", kRunLimit)) << host.output();
            host.signal(SIGINT);
        }
    }
    const std::optional<int> status = host.wait(kRunLimit);
    ASSERT_TRUE(status.has_value()) << "still running\n" << host.output();
    EXPECT_EQ(*status, signal == 0 ? 0 : 128 + signal) << host.output();

    const std::string output = host.output();
    const bool outputWhole = ending() != Ending::StdoutBroken && ending() != Ending::OutputsClosed;
    const std::uint64_t sent = outputWhole ? framesReported(output) : 0;
    if (outputWhole) {
        ASSERT_GT(sent, 0u) << output;
    }
    const sim::SimSnapshot s = seat_.waitFor(
        [&](const sim::SimSnapshot& x) { return atHome(x.motion.posture) && x.motion.frames >= sent && everyEffectOff(x); },
        kDeadline);
    EXPECT_TRUE(atHome(s.motion.posture)) << s.motion.posture.pitch << " " << s.motion.posture.roll << " "
                                          << s.motion.posture.yaw << " " << s.motion.posture.height;
    EXPECT_TRUE(everyEffectOff(s)) << "fan " << s.effects.fanSpeed << ", mist " << s.effects.mistLevel << ", heater "
                                   << s.effects.heater;
    if (outputWhole) {
        EXPECT_EQ(s.motion.frames, sent) << output;
    }
    EXPECT_EQ(s.motion.malformed(), 0u);
    EXPECT_EQ(s.relay.malformed + s.speed.malformed, 0u) << "nothing but Modbus reached the devices";

    // A second Ctrl-C may come in time to cut the park short: the home frame
    // then jumps, as asked. Otherwise every frame keeps within the envelope.
    const bool cutShort = output.find("park cut short") != std::string::npos;
    EXPECT_LE(s.motion.rates.flagged, cutShort ? 1u : 0u) << s.motion.rates.lastFlag << "\n" << output;
    const bool parked = output.find("parked in ") != std::string::npos;
    if (signal != 0) {
        EXPECT_NE(output.find("karvel: interrupted; parking the seat"), std::string::npos) << output;
    }
    if (ending() == Ending::CtrlCTwice) {
        EXPECT_TRUE(cutShort || parked) << output;
    } else if (outputWhole) {
        EXPECT_TRUE(parked) << output;
    }
}

INSTANTIATE_TEST_SUITE_P(
    EveryRideEveryEnding, KarvelEnding,
    ::testing::Combine(::testing::Values(Ride::Cue, Ride::Replay, Ride::Run, Ride::Demo),
                       ::testing::Values(Ending::RunsOut, Ending::CtrlC, Ending::CtrlCTwice, Ending::Term,
                                         Ending::Hangup, Ending::Quit, Ending::StdoutBroken, Ending::StderrBroken,
                                         Ending::OutputsClosed)),
    [](const ::testing::TestParamInfo<std::tuple<Ride, Ending>>& test) {
        return std::string(rideName(std::get<0>(test.param))) + endingName(std::get<1>(test.param));
    });

// `run` reading commands from a pipe that stays open: a stop request ends the
// blocked read, and the seat parks and homes with the effects off.
TEST_F(KarvelCli, RunWaitingForItsNextCommandIsStoppedByASignal) {
    const std::string commands = ::testing::TempDir() + "commands.fifo";
    ::unlink(commands.c_str());
    ASSERT_EQ(::mkfifo(commands.c_str(), 0600), 0);
    const int writer = ::open(commands.c_str(), O_RDWR | O_CLOEXEC); // holds the pipe open for the child
    ASSERT_GE(writer, 0);
    ChildProcess host(command({"run"}), commands);
    const std::string lines = "posture 8 0 30 0.6\nwind 2\n";
    ASSERT_EQ(::write(writer, lines.data(), lines.size()), static_cast<ssize_t>(lines.size()));
    const sim::SimSnapshot going = seat_.waitFor(
        [](const sim::SimSnapshot& s) { return s.motion.posture.pitch > 7 && s.effects.fanSpeed != 0; }, kRunLimit);
    ASSERT_GT(going.motion.posture.pitch, 7) << host.output();
    host.signal(SIGTERM);
    const std::optional<int> status = host.wait(kRunLimit);
    ::close(writer);
    ASSERT_EQ(status, 128 + SIGTERM) << host.output();
    const std::uint64_t sent = framesReported(host.output());
    const sim::SimSnapshot s = seat_.waitFor(
        [&](const sim::SimSnapshot& x) { return x.motion.frames >= sent && everyEffectOff(x); }, kDeadline);
    EXPECT_EQ(s.motion.frames, sent) << host.output();
    EXPECT_TRUE(atHome(s.motion.posture));
    EXPECT_TRUE(everyEffectOff(s));
    EXPECT_EQ(s.motion.rates.flagged, 0u) << s.motion.rates.lastFlag;
}

// The park after a run that is stopped while the turntable is far round
// takes seconds: a second Ctrl-C during it ends it, and still homes the seat
// and turns the effects off.
TEST_F(KarvelCli, SecondCtrlCCutsTheParkShortAndStillHomesWithTheEffectsOff) {
    const std::string script = writeFile("far-round.txt", "posture 0 0 170 0.5\nwind 2\nwait 60\n");
    ChildProcess host(command({"run", "--script", script}));
    seat_.waitFor([](const sim::SimSnapshot& s) { return s.motion.posture.yaw > 160; }, kRunLimit);
    host.signal(SIGINT);
    // Well into the park, with more than a second of it to go.
    const sim::SimSnapshot parking =
        seat_.waitFor([](const sim::SimSnapshot& s) { return s.motion.posture.yaw < 150; }, kRunLimit);
    ASSERT_GT(parking.motion.posture.yaw, 60) << "the park ran past the test";
    host.signal(SIGINT);
    ASSERT_EQ(host.wait(kRunLimit), 130) << host.output();
    const std::string output = host.output();
    EXPECT_NE(output.find("run: park cut short after"), std::string::npos) << output;
    const std::uint64_t sent = framesReported(output);
    const sim::SimSnapshot s = seat_.waitFor(
        [&](const sim::SimSnapshot& x) { return x.motion.frames >= sent && everyEffectOff(x); }, kDeadline);
    EXPECT_EQ(s.motion.frames, sent);
    EXPECT_TRUE(atHome(s.motion.posture));
    EXPECT_TRUE(everyEffectOff(s));
    EXPECT_EQ(s.motion.rates.flagged, 1u) << "the home frame, which the second Ctrl-C asked for";
}

// A file that goes far beyond what the seat can do: the seat follows it at
// the envelope's limits (pitch 15, yaw within +-180 deg) and parks from there,
// never at once.
TEST_F(KarvelCli, ReplayOfAFileBeyondTheSeatsRangeParksSoftly) {
    const std::string path =
        writeFile("beyond.csv", "time,pitch,roll,yaw,height\n0,0,0,0,0.5\n1,140,0,180,0.5\n2,140,0,360,0.5\n");
    RunResult result = runToEnd(command({"replay", path}), kRunLimit);
    ASSERT_EQ(result.status, 0) << result.output;
    EXPECT_NE(result.output.find("replay: parked in"), std::string::npos) << result.output;
    EXPECT_EQ(result.output.find("at once"), std::string::npos) << result.output;
    const std::uint64_t sent = framesReported(result.output);
    const sim::SimSnapshot s =
        seat_.waitFor([&](const sim::SimSnapshot& x) { return x.motion.frames >= sent; }, kDeadline);
    EXPECT_EQ(s.motion.frames, sent);
    EXPECT_EQ(s.motion.rates.flagged, 0u) << s.motion.rates.lastFlag;
    EXPECT_TRUE(atHome(s.motion.posture));
    EXPECT_NEAR(s.motion.rates.peak.pitch, 30, 6) << "pitch went up to its limit at the envelope's speed";
}

// The library's worker writes its send line (the first, then one a second)
// through karvel's log callback onto standard error. While that pipe is full
// the worker waits, the motion queue gives way to newer frames and the
// library says how many. Those frames never left it: the count of frames
// sent must be what the seat got.
TEST_F(KarvelCli, FramesTheLibraryGaveWayAreNotCountedAsSent) {
    Pipe errors;
    // A second way into the same pipe that never blocks, for the test's filler.
    const int filler = ::open(("/proc/self/fd/" + std::to_string(errors.write)).c_str(), O_WRONLY | O_NONBLOCK | O_CLOEXEC);
    ASSERT_GE(filler, 0);
    const std::string path = writeFile("steady.csv", "time,pitch,roll,yaw,height\n0,0,0,0,0.5\n3,5,0,0,0.5\n");
    ChildProcess host(command({"replay", path}, "info"), "/dev/null", Redirect{}, Redirect::descriptor(errors.write));
    errors.closeWrite();
    // The configuration's lines and the first send line pass; then the pipe
    // is filled, and the next send line holds the worker.
    std::string seen;
    char buffer[4096];
    while (seen.find("socket-send-ok") == std::string::npos) {
        const ssize_t got = ::read(errors.read, buffer, sizeof buffer);
        ASSERT_GT(got, 0) << seen << host.output();
        seen.append(buffer, static_cast<std::size_t>(got));
    }
    const std::string chunk(4096, '.');
    while (::write(filler, chunk.data(), chunk.size()) > 0) {
    }
    for (char c = '.'; ::write(filler, &c, 1) == 1;) {
    }
    ::close(filler);
    // The ride is over (its summary is on standard output): the pipe flows
    // again for the park and the end.
    ASSERT_TRUE(host.waitForOutput("replay: 301 of 301 postures streamed", kRunLimit)) << host.output();
    std::thread drain([&] {
        while (::read(errors.read, buffer, sizeof buffer) > 0) {
        }
    });
    const std::optional<int> status = host.wait(kRunLimit);
    drain.join();
    ASSERT_EQ(status, 0) << host.output();
    const std::string output = host.output();
    const std::uint64_t sent = framesReported(output);
    EXPECT_GT(givenWayReported(output), 50u) << "a second and more of frames waited behind one log line\n" << output;
    const sim::SimSnapshot s = seat_.waitFor(
        [&](const sim::SimSnapshot& x) { return x.motion.frames >= sent && atHome(x.motion.posture); }, kDeadline);
    EXPECT_EQ(s.motion.frames, sent) << output;
}

// Switching the motion controller during `run` parks the seat left behind;
// the stream goes on to the new one from home.
TEST_F(KarvelCli, RunParksTheSeatItLeavesForAnotherMotionController) {
    sim::VirtualSeat second(loopbackSeat(KarvelSeat::OrvidaSeat));
    const std::string script = writeFile(
        "switch.txt", "posture 8 -4 40 0.6\nwait 1\nudp-endpoint 127.0.0.1:" +
                          std::to_string(second.ports().motion) + "\nwait 1\n");
    RunResult result = runToEnd(command({"run", "--script", script}), kRunLimit);
    ASSERT_EQ(result.status, 0) << result.output;
    const std::uint64_t sent = framesReported(result.output);
    const auto atHomeAndDone = [&](const sim::VirtualSeat& seat) {
        return seat.waitFor([](const sim::SimSnapshot& x) { return atHome(x.motion.posture); }, kDeadline);
    };
    const sim::SimSnapshot left = atHomeAndDone(seat_);
    const sim::SimSnapshot taken = atHomeAndDone(second);
    EXPECT_TRUE(atHome(left.motion.posture)) << "parked before the switch";
    EXPECT_TRUE(atHome(taken.motion.posture));
    EXPECT_GT(taken.motion.rates.peak.pitch, 5.0) << "the new seat moved to the target";
    EXPECT_EQ(left.motion.rates.flagged + taken.motion.rates.flagged, 0u)
        << left.motion.rates.lastFlag << taken.motion.rates.lastFlag;
    // The library drops what is still queued when the target switches; the
    // park's frames have left by then.
    EXPECT_LE(left.motion.frames + taken.motion.frames, sent) << result.output;
    EXPECT_GE(left.motion.frames + taken.motion.frames + 4, sent) << result.output;
}

} // namespace
} // namespace karvel::tools::test
