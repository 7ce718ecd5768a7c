#include "SeatRuntime/SeatRuntime.h"

#include <cstdio>

#include "RuntimeThread.h"

namespace KarvelSeat {

namespace {

// Why the effects are held off: a pause of the game, the watchdog, or both.
constexpr unsigned HeldForPause = 1;
constexpr unsigned HeldForWatchdog = 2;

// An unregistration's park may take its profile's park time, and this much more on a loaded machine, before the
// seat is sent home at once.
constexpr double StopMarginSeconds = 0.5;

double SecondsBetween(std::chrono::steady_clock::time_point From, std::chrono::steady_clock::time_point To) {
    return std::chrono::duration<double>(To - From).count();
}

std::string Format(const char* Pattern, double Value) {
    char Line[160];
    std::snprintf(Line, sizeof(Line), Pattern, Value);
    return Line;
}

} // namespace

std::string RuntimeSettings::Validate() const {
    char Message[160];
    if (!(FrameRate >= MinFrameRate && FrameRate <= MaxFrameRate)) {
        std::snprintf(Message, sizeof(Message), "FrameRate = %g is outside its range %g to %g Hz", FrameRate,
                      MinFrameRate, MaxFrameRate);
        return Message;
    }
    if (!(WatchdogSeconds >= MinWatchdogSeconds && WatchdogSeconds <= MaxWatchdogSeconds)) {
        std::snprintf(Message, sizeof(Message), "WatchdogSeconds = %g is outside its range %g to %g s",
                      WatchdogSeconds, MinWatchdogSeconds, MaxWatchdogSeconds);
        return Message;
    }
    return {};
}

SeatRuntime::SeatRuntime(SeatHost& InHost, RuntimeLog InLog)
    : Host(InHost), Log(std::move(InLog)), Worker([this] { Run(); }) {}

SeatRuntime::~SeatRuntime() {
    {
        std::lock_guard<std::mutex> Lock(Mutex);
        bExit = true;
    }
    Wake.notify_one();
    Worker.join();
}

void SeatRuntime::Heartbeat() {
    LastHeartbeat.store(Clock::now().time_since_epoch().count(), std::memory_order_relaxed);
}

void SeatRuntime::PostSample(const MotionSample& Sample) { Samples.Write(StreamSample{Sample, PostingStream}); }

const RuntimeState& SeatRuntime::State() {
    Published.Read(LastState);
    return LastState;
}

std::uint64_t SeatRuntime::CommandsPosted() const {
    std::lock_guard<std::mutex> Lock(Mutex);
    return Posted;
}

void SeatRuntime::Do(std::function<void()> Action) {
    Post([Action = std::move(Action)] {
        Action();
        return true;
    });
}

void SeatRuntime::Post(Command Run) {
    // A command is a sign of life too, once heartbeats have begun.
    if (LastHeartbeat.load(std::memory_order_relaxed) != 0) Heartbeat();
    {
        std::lock_guard<std::mutex> Lock(Mutex);
        Queue.push_back(std::move(Run));
        ++Posted;
    }
    Wake.notify_one();
}

bool SeatRuntime::WaitForCommands(std::chrono::milliseconds Timeout) {
    std::unique_lock<std::mutex> Lock(Mutex);
    return CommandsRan.wait_for(Lock, Timeout, [this] { return Done >= Posted; });
}

std::shared_ptr<const PendingResult> SeatRuntime::Register(std::function<bool()> ConfigureLibrary) {
    auto Result = std::make_shared<PendingResult>();
    Do([this, ConfigureLibrary = std::move(ConfigureLibrary), Result] {
        const bool bConfigured = ConfigureLibrary();
        bRegistered = bConfigured;
        bTripped = false;
        HeldFor = 0;
        Stream.SetHome(Host.Model());
        Result->Finish(bConfigured);
    });
    return Result;
}

void SeatRuntime::Unregister() {
    Post([this] {
        if (!bRegistered) return true;
        bRegistered = false;
        Stream.ParkForStop();
        if (Stream.Settled()) {
            FinishStop(true);
            return true;
        }
        bStopping = true;
        StopDeadline = Clock::now() + std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double>(
                                          Stream.Profile().ParkSeconds + StopMarginSeconds));
        return false;
    });
}

void SeatRuntime::StopSeat() {
    Do([this] {
        Host.Stop();
        HeldFor = 0;
    });
}

std::shared_ptr<const PendingResult> SeatRuntime::SetUdpEndpoint(std::string Ip, int Port) {
    auto Result = std::make_shared<PendingResult>();
    Do([this, Ip = std::move(Ip), Port, Result] { Result->Finish(Host.SetUdpEndpoint(Ip.c_str(), Port)); });
    return Result;
}

std::shared_ptr<const PendingResult> SeatRuntime::SetEffectsEndpoints(std::string RelayIp, int RelayPort,
                                                                      std::string SpeedIp, int SpeedPort) {
    auto Result = std::make_shared<PendingResult>();
    Do([this, RelayIp = std::move(RelayIp), RelayPort, SpeedIp = std::move(SpeedIp), SpeedPort, Result] {
        Result->Finish(Host.SetEffectsEndpoints(RelayIp.c_str(), RelayPort, SpeedIp.c_str(), SpeedPort));
    });
    return Result;
}

void SeatRuntime::SendPosture(const Posture& Requested) {
    Do([this, Requested] {
        Stream.TakeDirectControl();
        Host.SendPosture(Requested);
    });
}

void SeatRuntime::ResetPosition() {
    Do([this] {
        Stream.TakeDirectControl();
        Host.ResetPosition();
    });
}

void SeatRuntime::SetWindSpeed(int Level) {
    Do([this, Level] { Host.SetWindSpeed(Level); });
}

void SeatRuntime::SetWaterMist(int Level) {
    Do([this, Level] { Host.SetWaterMist(Level); });
}

void SeatRuntime::SetScent(int Level) {
    Do([this, Level] { Host.SetScent(Level); });
}

void SeatRuntime::SetHeater(bool bOn) {
    Do([this, bOn] { Host.SetHeater(bOn); });
}

void SeatRuntime::TurnOffAllEffects() {
    Do([this] { Host.TurnOffAllEffects(); });
}

void SeatRuntime::HoldEffectsForPause() {
    Do([this] { Hold(HeldForPause); });
}

void SeatRuntime::RestoreEffectsAfterPause() {
    Do([this] { Release(HeldForPause); });
}

void SeatRuntime::ApplySettings(const RuntimeSettings& NewSettings) {
    Do([this, NewSettings] {
        Settings = NewSettings;
        Stream.SetFrameRate(NewSettings.FrameRate);
    });
}

void SeatRuntime::BeginStream(const KarvelCueing::CueingProfile& Profile) {
    const std::uint32_t Begun = ++PostingStream;
    Do([this, Profile, Begun] {
        RunningStream = Begun;
        Stream.SetProfile(Profile);
        Stream.Begin(Host.PostureInForce());
        LastSample = Clock::now();
        if (Early && Early->Stream == Begun) Stream.Take(Early->Sample);
        Early.reset();
    });
}

void SeatRuntime::EndStream() {
    Do([this] { Stream.End(); });
}

void SeatRuntime::SetProfile(const KarvelCueing::CueingProfile& Profile) {
    Do([this, Profile] { Stream.SetProfile(Profile); });
}

void SeatRuntime::Recentre() {
    Do([this] { Stream.Recentre(); });
}

void SeatRuntime::Record(std::unique_ptr<KarvelCueing::CueRecorder> Recorder) {
    // A command is copied into its queue: the recorder travels in a shared holder.
    auto Holder = std::make_shared<std::unique_ptr<KarvelCueing::CueRecorder>>(std::move(Recorder));
    Do([this, Holder] { CloseRecorder(Stream.Record(std::move(*Holder))); });
}

void SeatRuntime::StopRecording() {
    Do([this] { CloseRecorder(Stream.Record(nullptr)); });
}

void SeatRuntime::Run() {
    RaiseThisThreadsPriority();
    std::unique_lock<std::mutex> Lock(Mutex);
    for (;;) {
        if (!bStopping && !Queue.empty()) {
            Command Next = std::move(Queue.front());
            Queue.pop_front();
            Lock.unlock();
            const bool bFinished = Next();
            Lock.lock();
            if (bFinished) ++Done;
            Publish();
            CommandsRan.notify_all();
            continue;
        }
        if (bExit && Queue.empty() && !bStopping) return;
        if (!Ticking()) {
            Wake.wait(Lock);
            continue;
        }
        const Clock::time_point Now = Clock::now();
        if (Now < NextFrame) {
            Wake.wait_until(Lock, NextFrame);
            continue;
        }
        Lock.unlock();
        RunFrame(Now);
        Lock.lock();
    }
}

bool SeatRuntime::Ticking() const { return bRegistered || bStopping || !Stream.Settled(); }

void SeatRuntime::RunFrame(Clock::time_point Now) {
    StreamSample Newest;
    if (Samples.Read(Newest)) {
        if (Newest.Stream != RunningStream) {
            Early = Newest;
        } else if (Stream.IsStreaming()) {
            LastSample = Now;
            Stream.Take(Newest.Sample);
        }
    }
    Watch(Now);
    if (const std::optional<Posture> Next = Stream.Frame()) Host.SendPosture(*Next);
    if (Stream.TakeNonFiniteReport()) {
        Say(RuntimeLogLevel::Warning, "[Karvel] Seat motion holds its last posture: the vehicle's motion, a requested "
                                      "posture or the time step is not finite.");
    }
    const bool bStopEnds = bStopping && (Stream.Settled() || Now >= StopDeadline);
    if (bStopEnds) FinishStop(Stream.Settled());
    {
        std::lock_guard<std::mutex> Lock(Mutex);
        if (bStopEnds) ++Done;
        Publish();
    }
    if (bStopEnds) CommandsRan.notify_all();

    // An absolute schedule: a frame a little late does not delay the next; one a whole period late or more
    // (the thread was held up) starts the schedule afresh rather than sending the missed frames in a burst.
    const Clock::duration Period =
        std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double>(Stream.FrameSeconds()));
    NextFrame = (Now - NextFrame >= Period) ? Now + Period : NextFrame + Period;
}

void SeatRuntime::Watch(Clock::time_point Now) {
    if (!bRegistered) return;
    double Silence = SecondsBetween(LastSample, Now);
    if (!Stream.IsStreaming()) {
        const Clock::rep Heard = LastHeartbeat.load(std::memory_order_relaxed);
        Silence = Heard == 0 ? 0.0 : SecondsBetween(Clock::time_point(Clock::duration(Heard)), Now);
    }
    const bool bSilent = Silence > Settings.WatchdogSeconds;
    if (bSilent && !bTripped) {
        bTripped = true;
        TrippedAt = Now;
        Say(RuntimeLogLevel::Warning,
            Format("[Karvel] Nothing from the game for %.0f ms: the seat parks and the effects are off until it answers "
                   "again.",
                   Silence * 1000.0));
        Hold(HeldForWatchdog);
        Stream.Trip(Host.PostureInForce());
    } else if (!bSilent && bTripped) {
        bTripped = false;
        Say(RuntimeLogLevel::Info,
            Format("[Karvel] The game answers again after %.1f s: the seat resumes softly and the effects are back.",
                   SecondsBetween(TrippedAt, Now)));
        Stream.Clear();
        Release(HeldForWatchdog);
    }
}

void SeatRuntime::FinishStop(bool bParked) {
    if (!bParked) {
        Say(RuntimeLogLevel::Warning,
            Format("[Karvel] The seat's park did not end within %.1f s: it is sent home at once.",
                   Stream.Profile().ParkSeconds + StopMarginSeconds));
    }
    bStopping = false;
    bTripped = false;
    Host.Stop();
    HeldFor = 0;
    Stream.SetHome(Host.Model());
}

void SeatRuntime::Hold(unsigned Reason) {
    if (HeldFor == 0) {
        Host.HoldEffectsForPause();
    } else if (Reason == HeldForWatchdog && Host.EffectsInForce().AnyOn()) {
        // Effects the game turned on during its pause go off too; that choice then stands after the pause.
        Host.TurnOffAllEffects();
    }
    HeldFor |= Reason;
}

void SeatRuntime::Release(unsigned Reason) {
    if ((HeldFor & Reason) == 0) return;
    HeldFor &= ~Reason;
    if (HeldFor == 0) Host.RestoreEffectsAfterPause();
}

void SeatRuntime::CloseRecorder(std::unique_ptr<KarvelCueing::CueRecorder> Recorder) {
    if (!Recorder) return;
    if (Recorder->IsOpen() && Recorder->HadWriteError()) {
        Say(RuntimeLogLevel::Warning, "[Karvel] Motion recording is incomplete: a write to the file failed.");
    }
    Recorder->Close();
}

void SeatRuntime::Publish() {
    RuntimeState Now;
    Now.PostureInForce = Host.PostureInForce();
    Now.EffectsInForce = Host.EffectsInForce();
    Now.Registered = bRegistered;
    Now.Streaming = Stream.IsStreaming();
    Now.StreamParked = Stream.IsParked();
    Now.WatchdogTripped = bTripped;
    Now.CommandsDone = Done;
    Published.Write(Now);
}

void SeatRuntime::Say(RuntimeLogLevel Level, const std::string& Line) const {
    if (Log) Log(Level, Line);
}

} // namespace KarvelSeat
