// The motion runtime on its thread against a recording library, in real time: what reaches the library, from
// which thread and in which order, when the game posts, goes silent and unregisters. Waits are on the recorded
// calls, with generous deadlines; frames are judged a frame period apart, as the runtime steps them.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <thread>

#include "FrameCheck.h"
#include "RecordingLibrary.h"
#include "SeatRuntime/SeatRuntime.h"

using namespace KarvelSeat;
using KarvelSeatTest::FrameCheck;
using KarvelSeatTest::Recorded;
using Strings = std::vector<std::string>;
using Clock = std::chrono::steady_clock;

namespace {

const KarvelCueing::CueingProfile& Road = KarvelCueing::RoadVehicleProfile();
constexpr double FrameSeconds = 0.01;

std::vector<Posture> PosturesIn(const Strings& Calls, Strings* Others = nullptr) {
    std::vector<Posture> Result;
    for (const std::string& Call : Calls) {
        Posture P;
        if (std::sscanf(Call.c_str(), "Posture(%f,%f,%f,%f)", &P.Pitch, &P.Roll, &P.Yaw, &P.Height) == 4) {
            Result.push_back(P);
        } else if (Others) {
            Others->push_back(Call);
        }
    }
    return Result;
}

size_t CountOf(const Strings& Calls, const std::string& Call) {
    return static_cast<size_t>(std::count(Calls.begin(), Calls.end(), Call));
}

MotionSample Driving(double Forward) {
    MotionSample Sample;
    Sample.Kind = MotionSample::EKind::Motion;
    Sample.Motion.SpecificForce.X = Forward;
    return Sample;
}

bool IsHome(const Posture& P) {
    return P.Pitch == OrvidaSeat.Home.Pitch && P.Roll == OrvidaSeat.Home.Roll && P.Yaw == OrvidaSeat.Home.Yaw &&
           P.Height == OrvidaSeat.Home.Height;
}

class MotionRuntime : public ::testing::Test {
protected:
    MotionRuntime() { Recorded().Reset(); }

    // An Orvida registered with effects; WatchdogSeconds as given.
    void Register(double WatchdogSeconds) {
        RuntimeSettings Settings;
        Settings.WatchdogSeconds = WatchdogSeconds;
        Runtime->ApplySettings(Settings);
        const auto Registered = Runtime->Register([this] {
            SeatSetup Setup;
            Setup.Model = OrvidaSeat.Code;
            Setup.UdpIp = "127.0.0.1";
            Setup.EnableEffects = true;
            Setup.RelayIp = "127.0.0.7";
            Setup.SpeedIp = "127.0.0.8";
            return Host.Configure(Setup);
        });
        ASSERT_TRUE(Registered->Wait());
        ASSERT_TRUE(Runtime->WaitForCommands(std::chrono::seconds(10)));
        Recorded().Take();
    }

    // Waits until Count more postures than now have been sent, posting Sample before each of them (a game that
    // posts once a frame). False at the deadline.
    bool PostFor(int Count, const MotionSample& Sample) {
        for (int Posted = 0; Posted < Count; ++Posted) {
            Runtime->PostSample(Sample);
            const size_t Before = SentSoFar;
            if (!Recorded().WaitUntil([&](const Strings& Calls) { return PosturesIn(Calls).size() > Before; })) return false;
            SentSoFar = Before + 1;
        }
        return true;
    }

    // The calls since the last look; postures go through the frame check.
    Strings Take(std::vector<Posture>* Postures = nullptr) {
        Strings Others;
        const std::vector<Posture> Sent = PosturesIn(Recorded().Take(), &Others);
        for (const Posture& P : Sent) Check.Observe(P);
        if (Postures) *Postures = Sent;
        SentSoFar = 0;
        return Others;
    }

    LibraryFunctions Library = KarvelSeatTest::RecordingLibrary();
    SeatHost Host{Library};
    std::mutex LogMutex;
    Strings Lines;
    std::unique_ptr<SeatRuntime> Runtime = std::make_unique<SeatRuntime>(Host, [this](RuntimeLogLevel, const std::string& Line) {
        std::lock_guard<std::mutex> Lock(LogMutex);
        Lines.push_back(Line);
    });
    FrameCheck Check{Road, FrameSeconds, OrvidaSeat.Home};
    size_t SentSoFar = 0;
};

// A game alive until Holds(the calls so far): it beats once a frame of its own (about 60 Hz) meanwhile.
template <typename FHolds>
bool BeatUntil(SeatRuntime& Runtime, FHolds&& Holds) {
    const Clock::time_point Deadline = Clock::now() + std::chrono::seconds(10);
    while (Clock::now() < Deadline) {
        Runtime.Heartbeat();
        if (Recorded().WaitUntil(Holds, std::chrono::milliseconds(16))) return true;
    }
    return false;
}

} // namespace

TEST_F(MotionRuntime, EveryLibraryCallComesFromTheRuntimesThreadInTheOrderPosted) {
    Register(5.0);
    Runtime->SetWindSpeed(2);
    Runtime->SendPosture(Posture{20.0f, 1.0f, 2.0f, 0.5f});
    const auto Switched = Runtime->SetUdpEndpoint("127.0.0.2", 7409);
    Runtime->ResetPosition();
    Runtime->HoldEffectsForPause();
    Runtime->SetHeater(true);
    Runtime->RestoreEffectsAfterPause();
    Runtime->Unregister();
    Runtime->SetScent(1);
    EXPECT_TRUE(Switched->Wait());
    ASSERT_TRUE(Runtime->WaitForCommands(std::chrono::seconds(10)));
    EXPECT_EQ(Recorded().Take(), (Strings{"Wind(2)", "Posture(15,1,2,0.5)", "SetUdpEndpoint(127.0.0.2,7409)", "ResetPosition",
                                          "TurnOffAllEffects", "Heater(1)", "TurnOffAllEffects", "ResetPosition",
                                          "Scent(1)"}))
        << "the game's heater during its pause stands; unregistered, the seat is home with everything off";

    const std::vector<std::thread::id> Threads = Recorded().CallingThreads();
    ASSERT_FALSE(Threads.empty());
    for (const std::thread::id Thread : Threads) {
        EXPECT_EQ(Thread, Threads.front());
        EXPECT_NE(Thread, std::this_thread::get_id());
    }
    EXPECT_EQ(Runtime->State().CommandsDone, Runtime->CommandsPosted());
    EXPECT_FALSE(Runtime->State().Registered);
}

// Unregistering returns at once; the park goes on on the runtime, and what the game asks next waits for it.
TEST_F(MotionRuntime, AnUnregistrationParksFirstAndLaterCommandsWaitForIt) {
    Register(5.0);
    Runtime->BeginStream(Road);
    ASSERT_TRUE(PostFor(150, Driving(4.0)));
    Take();

    Runtime->Unregister();
    const auto Again = Runtime->Register([this] { return Host.Configure(SeatSetup{}); });
    EXPECT_FALSE(Recorded().WaitUntil([](const Strings& Calls) { return CountOf(Calls, "ResetPosition") > 0; },
                                      std::chrono::milliseconds(0)))
        << "the park is still under way";
    Recorded().Add("(call returned)");
    ASSERT_TRUE(Again->Wait());

    std::vector<Posture> Ramp;
    const Strings Others = Take(&Ramp);
    EXPECT_EQ(Others, (Strings{"(call returned)", "TurnOffAllEffects", "ResetPosition", "Configure(0,,7408,0,,8234,,8234)"}));
    ASSERT_FALSE(Ramp.empty());
    EXPECT_TRUE(IsHome(Ramp.back())) << "the ramp ends where the home command puts the seat";
    EXPECT_LE(Ramp.size() * FrameSeconds, Road.ParkSeconds + 0.02);
    EXPECT_TRUE(Check.Ok()) << Check.FirstFailure();
}

// The game stops posting (a hang): within the watchdog time and the park time the seat is home and every effect
// off; when it posts again the effects it had come back and the motion resumes softly.
TEST_F(MotionRuntime, TheWatchdogParksASilentStreamAndTurnsTheEffectsOff) {
    Register(0.25);
    Runtime->SetWindSpeed(2);
    Runtime->SetHeater(true);
    Runtime->BeginStream(Road);
    ASSERT_TRUE(PostFor(150, Driving(4.0)));
    const Clock::time_point Silent = Clock::now();
    EXPECT_EQ(Take(), (Strings{"Wind(2)", "Heater(1)"}));

    ASSERT_TRUE(Recorded().WaitUntil([](const Strings& Calls) {
        const std::vector<Posture> Sent = PosturesIn(Calls);
        return CountOf(Calls, "TurnOffAllEffects") == 1 && !Sent.empty() && IsHome(Sent.back());
    }));
    const double Seconds = std::chrono::duration<double>(Clock::now() - Silent).count();
    EXPECT_LT(Seconds, 0.25 + Road.ParkSeconds + 1.0) << "the watchdog time and the park time, and a loaded machine's slack";
    Runtime->WaitForCommands(std::chrono::seconds(1));
    // The state is published after the frame that reached home, a moment later on a loaded machine.
    const Clock::time_point GiveUp = Clock::now() + std::chrono::seconds(10);
    while (!Runtime->State().StreamParked && Clock::now() < GiveUp) std::this_thread::sleep_for(std::chrono::milliseconds(1));
    EXPECT_TRUE(Runtime->State().WatchdogTripped);
    EXPECT_TRUE(Runtime->State().StreamParked);
    EXPECT_FALSE(Runtime->State().EffectsInForce.AnyOn());
    EXPECT_EQ(Take(), Strings{"TurnOffAllEffects"});

    Check.AtRest();
    ASSERT_TRUE(PostFor(50, Driving(4.0)));
    std::vector<Posture> Resumed;
    EXPECT_EQ(Take(&Resumed), (Strings{"Wind(2)", "Heater(1)"}));
    ASSERT_FALSE(Resumed.empty());
    EXPECT_GT(Resumed.back().Pitch, 0.0f) << "cueing again";
    EXPECT_TRUE(Check.Ok()) << Check.FirstFailure();
    std::lock_guard<std::mutex> Lock(LogMutex);
    ASSERT_EQ(Lines.size(), 2u);
    EXPECT_EQ(Lines[0].rfind("[Karvel] Nothing from the game for ", 0), 0u) << Lines[0];
    EXPECT_EQ(Lines[1].rfind("[Karvel] The game answers again after ", 0), 0u) << Lines[1];
}

// Without a stream the game's heartbeats are its signs of life: the effects and a posture it sent itself are
// guarded the same way, and the posture comes back when it answers.
TEST_F(MotionRuntime, WithoutAStreamTheHeartbeatGuardsTheEffectsAndTheGamesPosture) {
    Register(0.25);
    const Posture Tilted{6.0f, -4.0f, 12.0f, 0.6f};
    Runtime->Heartbeat();
    Runtime->SendPosture(Tilted);
    Runtime->SetWaterMist(1);
    ASSERT_TRUE(Runtime->WaitForCommands(std::chrono::seconds(10)));
    EXPECT_EQ(Recorded().Take(), (Strings{"Posture(6,-4,12,0.600000024)", "Mist(1)"}));

    ASSERT_TRUE(Recorded().WaitUntil([](const Strings& Calls) {
        const std::vector<Posture> Sent = PosturesIn(Calls);
        return CountOf(Calls, "TurnOffAllEffects") == 1 && !Sent.empty() && IsHome(Sent.back());
    }));
    FrameCheck FromTilt(Road, FrameSeconds, Tilted);
    Strings Others;
    for (const Posture& P : PosturesIn(Recorded().Take(), &Others)) FromTilt.Observe(P);
    EXPECT_EQ(Others, Strings{"TurnOffAllEffects"});

    FromTilt.AtRest();
    ASSERT_TRUE(BeatUntil(*Runtime, [&](const Strings& Calls) {
        const std::vector<Posture> Sent = PosturesIn(Calls);
        return !Sent.empty() && std::abs(Sent.back().Pitch - Tilted.Pitch) < 1e-4f && Runtime->State().StreamParked;
    }));
    Others.clear();
    for (const Posture& P : PosturesIn(Recorded().Take(), &Others)) FromTilt.Observe(P);
    EXPECT_EQ(Others, Strings{"Mist(1)"});
    EXPECT_TRUE(FromTilt.Ok()) << FromTilt.FirstFailure();
}

// A host that never beats (a tool, a test) has no watchdog for its effects.
TEST_F(MotionRuntime, NoHeartbeatYetNoWatchdog) {
    Register(0.05);
    Runtime->SetHeater(true);
    ASSERT_TRUE(Runtime->WaitForCommands(std::chrono::seconds(10)));
    EXPECT_FALSE(Recorded().WaitUntil([](const Strings& Calls) { return CountOf(Calls, "TurnOffAllEffects") > 0; },
                                      std::chrono::milliseconds(300)));
    EXPECT_FALSE(Runtime->State().WatchdogTripped);
}

TEST_F(MotionRuntime, DestroyingItFinishesAnUnregistrationsParkBeforeItsThreadEnds) {
    Register(5.0);
    Runtime->BeginStream(Road);
    ASSERT_TRUE(PostFor(150, Driving(-4.0)));
    Take();
    Runtime->Unregister();
    const Clock::time_point Start = Clock::now();
    Runtime.reset();
    EXPECT_LT(std::chrono::duration<double>(Clock::now() - Start).count(), Road.ParkSeconds + 0.5 + 1.0);
    std::vector<Posture> Ramp;
    EXPECT_EQ(Take(&Ramp), (Strings{"TurnOffAllEffects", "ResetPosition"}));
    ASSERT_FALSE(Ramp.empty());
    EXPECT_TRUE(IsHome(Ramp.back()));
    EXPECT_TRUE(Check.Ok()) << Check.FirstFailure();
}

TEST(RuntimeSettingsCheck, ValuesOutsideTheirRangesAreNamed) {
    RuntimeSettings Settings;
    EXPECT_EQ(Settings.Validate(), "");
    Settings.FrameRate = 1000;
    Settings.WatchdogSeconds = 5;
    EXPECT_EQ(Settings.Validate(), "");
    Settings.FrameRate = 2000;
    EXPECT_EQ(Settings.Validate(), "FrameRate = 2000 is outside its range 10 to 1000 Hz");
    Settings.FrameRate = 100;
    Settings.WatchdogSeconds = 0.01;
    EXPECT_EQ(Settings.Validate(), "WatchdogSeconds = 0.01 is outside its range 0.05 to 5 s");
}
