// The link to the guard with the host rules in front of it: what a guard is told, that a host never waits for it,
// and how the link copes with a guard that stalls or ends. The guard here is a process stand-in in this process
// that records what reaches its input and can be made to stall or break; the real program is tested in the tools.
#include <gtest/gtest.h>

#include <algorithm>
#include <condition_variable>
#include <future>
#include <thread>
#include <mutex>

#include "RecordingLibrary.h"
#include "SeatGuard/GuardLink.h"
#include "SeatHost/SeatHost.h"

using namespace KarvelSeat;
using namespace std::chrono_literals;

namespace {

constexpr std::chrono::seconds Deadline{10};

bool EndsWith(const std::string& Text, const std::string& End) {
    return Text.size() >= End.size() && Text.compare(Text.size() - End.size(), End.size(), End) == 0;
}

// What the guards of one test received and how they behave; shared by every guard the link starts.
struct GuardPeer {
    std::mutex Mutex;
    std::condition_variable Changed;
    std::vector<std::string> Inputs; // one per guard started
    std::vector<bool> Closed;        // its input closed
    bool bStall = false;             // Write waits until this is false or the guard is killed
    int BrokenGuard = -1;            // the guard whose Write fails: it is gone
    int Kills = 0;
    int Starts = 0;
    bool bRefuseStart = false;

    // Waits until Done(*this) holds; false at the deadline.
    template <typename F>
    bool WaitFor(F&& Done) {
        std::unique_lock<std::mutex> Lock(Mutex);
        return Changed.wait_for(Lock, Deadline, [&] { return Done(*this); });
    }
};

class RecordedGuard final : public GuardProcess {
public:
    RecordedGuard(GuardPeer& InPeer, std::size_t InIndex) : Peer(InPeer), Index(InIndex) {}
    unsigned Id() const override { return 1000 + static_cast<unsigned>(Index); }
    bool Write(const char* Data, std::size_t Size) override {
        std::unique_lock<std::mutex> Lock(Peer.Mutex);
        Peer.Changed.wait(Lock, [this] { return !Peer.bStall || bKilled; });
        if (static_cast<int>(Index) == Peer.BrokenGuard || bKilled) return false;
        Peer.Inputs[Index].append(Data, Size);
        Peer.Changed.notify_all();
        return true;
    }
    void CloseInput() override {
        std::lock_guard<std::mutex> Lock(Peer.Mutex);
        Peer.Closed[Index] = true;
        Peer.Changed.notify_all();
    }
    void WaitForExit() override {}
    void Kill() override {
        std::lock_guard<std::mutex> Lock(Peer.Mutex);
        bKilled = true;
        ++Peer.Kills;
        Peer.Changed.notify_all();
    }

private:
    GuardPeer& Peer;
    const std::size_t Index;
    bool bKilled = false; // guarded by Peer.Mutex
};

GuardLinkOptions OptionsFor(GuardPeer& Peer, std::vector<std::string>* Log = nullptr) {
    GuardLinkOptions Options;
    Options.Start = [&Peer](std::string& Error) -> std::unique_ptr<GuardProcess> {
        std::lock_guard<std::mutex> Lock(Peer.Mutex);
        ++Peer.Starts;
        Peer.Changed.notify_all();
        if (Peer.bRefuseStart) {
            Error = "no guard here";
            return nullptr;
        }
        Peer.Inputs.emplace_back();
        Peer.Closed.push_back(false);
        return std::make_unique<RecordedGuard>(Peer, Peer.Inputs.size() - 1);
    };
    Options.Log = [Log](bool, const std::string& Line) {
        if (Log) Log->push_back(Line);
    };
    Options.HostPid = 77;
    Options.HostName = "test host";
    Options.ShortLife = 0ms;
    return Options;
}

class GuardedHost : public ::testing::Test {
protected:
    GuardedHost() {
        KarvelSeatTest::Recorded().Reset();
        Host.SetGuard(&Link);
    }

    void ConfigureOrvida() {
        SeatSetup Setup;
        Setup.Model = OrvidaSeat.Code;
        Setup.UdpIp = "127.0.0.1";
        Setup.EnableEffects = true;
        Setup.RelayIp = "127.0.0.7";
        Setup.RelayPort = 502;
        Setup.SpeedIp = "127.0.0.8";
        Setup.SpeedPort = 503;
        ASSERT_TRUE(Host.Configure(Setup));
    }

    // Everything the first guard has read so far, once the link has written what was posted.
    std::string Told() {
        EXPECT_TRUE(Link.Flush(Deadline));
        std::lock_guard<std::mutex> Lock(Peer.Mutex);
        return Peer.Inputs.empty() ? std::string() : Peer.Inputs[0];
    }

    GuardPeer Peer;
    std::vector<std::string> LinkLog;
    LibraryFunctions Library = KarvelSeatTest::RecordingLibrary();
    SeatHost Host{Library};
    GuardLink Link{OptionsFor(Peer, &LinkLog)};
};

} // namespace

TEST_F(GuardedHost, TheGuardLearnsWhatTheLibraryGotAndTheReleaseEndsIt) {
    EXPECT_EQ(Told(), "") << "no guard before a registration";
    ConfigureOrvida();
    EXPECT_EQ(Told(), "karvel-guard 1\nhost 77 test_host\nseat 1 127.0.0.1 7408 1 127.0.0.7 502 127.0.0.8 503\n"
                      "effects 0 0 0 0\nposture 0 0 0 0.5\n");
    Host.SetWindSpeed(3);
    Host.SetHeater(true);
    Host.SendPosture(Posture{20, -1, 0, 0.5f});
    const std::string Moving = Told();
    EXPECT_NE(Moving.find("effects 3 0 0 1\n"), std::string::npos) << Moving;
    EXPECT_PRED2(EndsWith, Moving, "posture 15 -1 0 0.5\n") << "the clamped posture, as sent";

    EXPECT_TRUE(Host.SetUdpEndpoint("127.0.0.2", 7000));
    EXPECT_TRUE(Host.SetEffectsEndpoints("127.0.0.9", 1, "127.0.0.10", 2));
    const std::string Switched = Told();
    EXPECT_NE(Switched.find("seat 1 127.0.0.2 7000 1 127.0.0.9 1 127.0.0.10 2\neffects 0 0 0 0\n"), std::string::npos)
        << Switched;

    Host.Shutdown();
    EXPECT_TRUE(Peer.WaitFor([](GuardPeer& P) { return !P.Closed.empty() && P.Closed[0]; }));
    const std::string Ended = Told();
    EXPECT_PRED2(EndsWith, Ended, "effects 0 0 0 0\nposture 0 0 0 0.5\nrelease\n")
        << "effects off and home first, as sent, then the release";
    EXPECT_EQ(KarvelSeatTest::Recorded().Take().back(), "Release") << "the library released before the guard is told";
}

TEST_F(GuardedHost, ARefusedConfigurationReleasesTheGuardAndTheNextRegistrationStartsAnother) {
    ConfigureOrvida();
    Told(); // a guard runs
    KarvelSeatTest::Recorded().Result = false;
    SeatSetup Refused;
    EXPECT_FALSE(Host.Configure(Refused));
    EXPECT_TRUE(Peer.WaitFor([](GuardPeer& P) { return !P.Closed.empty() && P.Closed[0]; }));
    EXPECT_PRED2(EndsWith, Told(), "release\n");

    KarvelSeatTest::Recorded().Result = true;
    ConfigureOrvida();
    ASSERT_TRUE(Peer.WaitFor([](GuardPeer& P) { return P.Inputs.size() == 2 && !P.Inputs[1].empty(); }));
    EXPECT_TRUE(Link.Flush(Deadline));
    std::lock_guard<std::mutex> Lock(Peer.Mutex);
    EXPECT_EQ(Peer.Inputs[1].rfind("karvel-guard 1\nhost 77 test_host\nseat 1 ", 0), 0u) << Peer.Inputs[1];
    EXPECT_EQ(Peer.Inputs[1].find("release"), std::string::npos);
}

TEST_F(GuardedHost, AStalledGuardNeverHoldsTheHostAndGetsTheLatestPosture) {
    ConfigureOrvida();
    Told();
    {
        std::lock_guard<std::mutex> Lock(Peer.Mutex);
        Peer.bStall = true;
    }
    const auto Start = std::chrono::steady_clock::now();
    for (int Frame = 1; Frame <= 5000; ++Frame) Host.SendPosture(Posture{Frame / 1000.0f, 0, 0, 0.5f});
    const auto Took = std::chrono::steady_clock::now() - Start;
    EXPECT_LT(Took, 1s) << "5000 postures with the guard not reading";
    {
        std::lock_guard<std::mutex> Lock(Peer.Mutex);
        Peer.bStall = false;
        Peer.Changed.notify_all();
    }
    const std::string Read = Told();
    EXPECT_PRED2(EndsWith, Read, "posture 5 0 0 0.5\n") << "the last posture arrives";
    std::size_t Lines = 0;
    for (std::size_t At = 0; (At = Read.find("posture ", At)) != std::string::npos; ++At) ++Lines;
    EXPECT_LT(Lines, 100u) << "a stalled guard gets the newest posture, not every one";
}

TEST(GuardLinkEnd, ALinkEndingWithoutAReleaseEndsTheInputAsTheHostsEndWould) {
    GuardPeer Peer;
    {
        GuardLink Link(OptionsFor(Peer));
        GuardedSeat Seat;
        Link.Watch(Seat);
        ASSERT_TRUE(Peer.WaitFor([](GuardPeer& P) { return !P.Inputs.empty() && !P.Inputs[0].empty(); }));
        std::lock_guard<std::mutex> Lock(Peer.Mutex);
        Peer.bStall = true;
    }
    std::lock_guard<std::mutex> Lock(Peer.Mutex);
    EXPECT_EQ(Peer.Kills, 0) << "nothing was pending when the link ended";
    EXPECT_TRUE(Peer.Closed[0]) << "without a release the input ends as if the host had ended";
}

TEST(GuardLinkEnd, AGuardStalledOnPendingLinesIsKilledWithinTwoSeconds) {
    GuardPeer Peer;
    const auto Start = std::chrono::steady_clock::now();
    {
        GuardLink Link(OptionsFor(Peer));
        {
            std::lock_guard<std::mutex> Lock(Peer.Mutex);
            Peer.bStall = true;
        }
        Link.Watch(GuardedSeat());
        ASSERT_TRUE(Peer.WaitFor([](GuardPeer& P) { return P.Starts == 1; }));
    }
    EXPECT_LT(std::chrono::steady_clock::now() - Start, 8s);
    std::lock_guard<std::mutex> Lock(Peer.Mutex);
    EXPECT_GE(Peer.Kills, 1);
    EXPECT_EQ(Peer.Starts, 1) << "no guard is started while the link ends";
}

TEST(GuardLinkEnd, AGuardThatEndsIsStartedAgainWithTheWholeState) {
    GuardPeer Peer;
    std::vector<std::string> Log;
    GuardLink Link(OptionsFor(Peer, &Log));
    GuardedSeat Seat;
    Seat.UdpIp = "10.0.0.1";
    Link.Watch(Seat);
    Link.PostEffects(EffectLevels{2, 0, 0, false});
    Link.PostPosture(Posture{1, 2, 3, 0.25f});
    ASSERT_TRUE(Link.Flush(Deadline));
    {
        std::lock_guard<std::mutex> Lock(Peer.Mutex);
        Peer.BrokenGuard = 0;
    }
    Link.PostPosture(Posture{4, 5, 6, 0.75f});
    ASSERT_TRUE(Peer.WaitFor([](GuardPeer& P) { return P.Inputs.size() == 2 && EndsWith(P.Inputs[1], "0.75\n"); }));
    ASSERT_TRUE(Link.Flush(Deadline));
    std::lock_guard<std::mutex> Lock(Peer.Mutex);
    ASSERT_EQ(Peer.Inputs.size(), 2u);
    EXPECT_EQ(Peer.Inputs[1], "karvel-guard 1\nhost 77 test_host\nseat 0 10.0.0.1 7408 0 - 8234 - 8234\n"
                              "effects 2 0 0 0\nposture 4 5 6 0.75\n");
    EXPECT_NE(std::find(Log.begin(), Log.end(), "the guard ended unexpectedly; starting another"), Log.end());
}

TEST(GuardLinkEnd, AGuardThatCannotStartIsReportedAndTriedAgainAtTheNextWatch) {
    GuardPeer Peer;
    Peer.bRefuseStart = true;
    std::vector<std::string> Log;
    GuardLink Link(OptionsFor(Peer, &Log));
    Link.Watch(GuardedSeat());
    Link.PostPosture(Posture{1, 2, 3, 0.5f});
    ASSERT_TRUE(Link.Flush(Deadline));
    EXPECT_TRUE(Link.Flush(Deadline));
    {
        std::lock_guard<std::mutex> Lock(Peer.Mutex);
        EXPECT_EQ(Peer.Starts, 1) << "not again for every posture";
        Peer.bRefuseStart = false;
    }
    ASSERT_EQ(Log.size(), 1u);
    EXPECT_EQ(Log[0], "cannot start the guard: no guard here; the seat is not parked if this program ends without "
                      "releasing it");
    Link.Watch(GuardedSeat());
    ASSERT_TRUE(Link.Flush(Deadline));
    std::lock_guard<std::mutex> Lock(Peer.Mutex);
    EXPECT_EQ(Peer.Starts, 2);
}

// The link's own lines are written outside its lock: a log that blocks (a full pipe on standard error) holds the
// link's thread, never a host's call.
TEST(GuardLinkEnd, ASlowLogNeverHoldsTheHost) {
    GuardPeer Peer;
    std::mutex Gate;
    std::condition_variable Opened;
    bool bOpen = false;
    bool bLogging = false;
    GuardLinkOptions Options = OptionsFor(Peer);
    Options.Log = [&](bool, const std::string&) {
        std::unique_lock<std::mutex> Lock(Gate);
        bLogging = true;
        Opened.notify_all();
        Opened.wait(Lock, [&] { return bOpen; });
    };
    GuardLink Link(std::move(Options));
    Link.Watch(GuardedSeat());
    {
        std::unique_lock<std::mutex> Lock(Gate);
        ASSERT_TRUE(Opened.wait_for(Lock, Deadline, [&] { return bLogging; })) << "the start is logged";
    }
    // The host's posts on a thread of their own, so that a host held by the log fails the test instead of hanging it.
    std::promise<void> Posted;
    std::future<void> Done = Posted.get_future();
    std::thread Host([&] {
        for (int Frame = 0; Frame < 1000; ++Frame) Link.PostPosture(Posture{1, 0, 0, 0.5f});
        Link.PostEffects(EffectLevels{1, 0, 0, false});
        Posted.set_value();
    });
    EXPECT_EQ(Done.wait_for(1s), std::future_status::ready) << "the posts waited for the log";
    {
        std::lock_guard<std::mutex> Lock(Gate);
        bOpen = true;
    }
    Opened.notify_all();
    Host.join();
    EXPECT_TRUE(Link.Flush(Deadline));
}
