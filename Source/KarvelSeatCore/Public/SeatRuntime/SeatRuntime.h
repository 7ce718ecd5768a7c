// One seat's motion runtime: a thread of its own that sends the seat's frames at a steady rate (RuntimeSettings),
// cueing what the game posts (MotionStream), and that is the one caller of the seat library while it runs: every
// command of the game (registration, postures, effects, endpoint switches, unregistration) runs on it, in the
// order posted, between two frames, so that no posture call ever overlaps a configuration.
//
// The game's thread never waits for it: a sample goes into a mailbox without a lock or an allocation, a command is
// queued under a lock held for a moment, and what the runtime did comes back as a published RuntimeState.
//
// A watchdog: when the game goes silent for RuntimeSettings::WatchdogSeconds (a hang, a breakpoint, a long hitch)
// while the seat is registered, the seat parks softly and its effects go off; when the game answers again the
// effects come back as after a pause and the motion resumes softly. The game's signs of life are its samples
// while a stream runs, otherwise its heartbeats (from the first one on) and its commands.
#pragma once

#include "SeatCoreApi.h"

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>

#include "MotionCueing/CueRecorder.h"
#include "MotionCueing/CueingProfile.h"
#include "SeatHost/SeatHost.h"
#include "SeatRuntime/LatestValue.h"
#include "SeatRuntime/MotionStream.h"
#include "SeatRuntime/PendingResult.h"
#include "SeatRuntime/RuntimeTypes.h"

namespace KarvelSeat {

class KARVELSEATCORE_API SeatRuntime {
public:
    // From now until the runtime is gone only its thread calls Host. Log receives its lines on that thread.
    SeatRuntime(SeatHost& Host, RuntimeLog Log);
    // Runs every command posted (an unregistration's park takes at most its park time and a margin), then stops
    // and joins its thread.
    ~SeatRuntime();
    SeatRuntime(const SeatRuntime&) = delete;
    SeatRuntime& operator=(const SeatRuntime&) = delete;

    // --- The game's thread (one thread posts) ---

    // The game lives: once a frame. The watchdog of a seat without a stream counts from the first one.
    void Heartbeat();
    // The newest sample of the source that holds the stream; a sample not taken before the next is dropped.
    void PostSample(const MotionSample& Sample);
    // What the runtime published last.
    const RuntimeState& State();
    std::uint64_t CommandsPosted() const;

    // Commands. A registration configures the library with ConfigureLibrary (which calls Host.Configure); the
    // seat is registered when it succeeds. Unregister parks a stream under way, then turns the effects off and
    // sends the seat home, if a registration is in force; commands posted after it wait until it is done.
    std::shared_ptr<const PendingResult> Register(std::function<bool()> ConfigureLibrary);
    void Unregister();
    // Effects off and the home command, for whatever the library is configured with.
    void StopSeat();
    std::shared_ptr<const PendingResult> SetUdpEndpoint(std::string Ip, int Port);
    std::shared_ptr<const PendingResult> SetEffectsEndpoints(std::string RelayIp, int RelayPort, std::string SpeedIp,
                                                             int SpeedPort);
    // A posture or the home command the game sends itself, as they are (SeatHost's checks), not cued.
    void SendPosture(const Posture& Requested);
    void ResetPosition();
    void SetWindSpeed(int Level);
    void SetWaterMist(int Level);
    void SetScent(int Level);
    void SetHeater(bool bOn);
    void TurnOffAllEffects();
    // The game pauses (SeatHost's hold and restore rule); the watchdog holds the effects on its own account.
    void HoldEffectsForPause();
    void RestoreEffectsAfterPause();
    // Valid settings (RuntimeSettings::Validate).
    void ApplySettings(const RuntimeSettings& Settings);

    // The stream: a source begins it with its profile (valid: ValidateProfile), posts its samples, and ends it
    // (the seat parks softly, then nothing more is sent).
    void BeginStream(const KarvelCueing::CueingProfile& Profile);
    void EndStream();
    void SetProfile(const KarvelCueing::CueingProfile& Profile);
    void Recentre();
    // Each frame's input and output go to Recorder (open) from now on; StopRecording closes it.
    void Record(std::unique_ptr<KarvelCueing::CueRecorder> Recorder);
    void StopRecording();

    // For tools and tests, never the game's thread: true once every command posted so far has run.
    bool WaitForCommands(std::chrono::milliseconds Timeout);

private:
    using Clock = std::chrono::steady_clock;
    // Runs on the runtime's thread; false when it goes on over the next frames (an unregistration's park).
    using Command = std::function<bool()>;

    void Post(Command Run);
    // A command that is done once it ran.
    void Do(std::function<void()> Action);
    void Run();
    bool Ticking() const;
    void RunFrame(Clock::time_point Now);
    void Watch(Clock::time_point Now);
    void FinishStop(bool bParked);
    void Hold(unsigned Reason);
    void Release(unsigned Reason);
    void CloseRecorder(std::unique_ptr<KarvelCueing::CueRecorder> Recorder);
    void Publish();
    void Say(RuntimeLogLevel Level, const std::string& Line) const;

    SeatHost& Host;
    const RuntimeLog Log;

    // A sample with the stream it was posted for: one posted before a stream began is not that stream's.
    struct StreamSample {
        MotionSample Sample;
        std::uint32_t Stream = 0;
    };

    // From the game's thread.
    LatestValue<StreamSample> Samples;
    std::uint32_t PostingStream = 0; // the game's thread's count of streams begun
    std::atomic<Clock::rep> LastHeartbeat{0}; // 0: none yet
    // To the game's thread.
    LatestValue<RuntimeState> Published;
    RuntimeState LastState;

    // The queue, between both.
    mutable std::mutex Mutex;
    std::condition_variable Wake;
    std::condition_variable CommandsRan;
    std::deque<Command> Queue;
    std::uint64_t Posted = 0;
    std::uint64_t Done = 0;
    bool bExit = false;

    // The runtime's thread only.
    MotionStream Stream;
    RuntimeSettings Settings;
    std::uint32_t RunningStream = 0;
    std::optional<StreamSample> Early; // posted for a stream whose beginning has not run yet
    bool bRegistered = false;
    bool bStopping = false;
    bool bTripped = false;
    unsigned HeldFor = 0;
    Clock::time_point NextFrame;
    Clock::time_point LastSample;
    Clock::time_point TrippedAt;
    Clock::time_point StopDeadline;

    std::thread Worker; // last: starts once everything above exists
};

} // namespace KarvelSeat
