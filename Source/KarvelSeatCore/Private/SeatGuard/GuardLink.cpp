#include "SeatGuard/GuardLink.h"

#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <thread>
#include <utility>
#include <vector>

namespace KarvelSeat {

namespace GuardLinkParts {

// How often each part of the state has changed; a part is written when the guard has an older count.
struct Versions {
    std::uint64_t Seat = 0;
    std::uint64_t Envelope = 0;
    std::uint64_t Posture = 0;
    std::uint64_t Effects = 0;
    std::uint64_t Release = 0;

    bool operator==(const Versions& Other) const {
        return Seat == Other.Seat && Envelope == Other.Envelope && Posture == Other.Posture &&
               Effects == Other.Effects && Release == Other.Release;
    }
};

constexpr std::chrono::seconds ReadLimit{2}; // what the destructor gives a guard to take what is pending

} // namespace GuardLinkParts

using namespace GuardLinkParts;

struct GuardLink::FState {
    explicit FState(GuardLinkOptions InOptions) : Options(std::move(InOptions)) {
        Wanted.HostPid = Options.HostPid;
        Wanted.HostName = Options.HostName;
    }

    // Under the lock: the line is written once the lock is let go (TellLog), so that a slow log never holds a
    // host's call.
    void Log(bool bError, const std::string& Line) { Untold.emplace_back(bError, Line); }
    void TellLog(std::unique_lock<std::mutex>& Lock) {
        if (Untold.empty()) return;
        std::vector<std::pair<bool, std::string>> Lines;
        Lines.swap(Untold);
        Lock.unlock();
        for (const auto& [bError, Line] : Lines)
            if (Options.Log) Options.Log(bError, Line);
        Lock.lock();
    }

    // Records a change under the lock and wakes the writer if it sleeps.
    template <typename FChange>
    void Change(FChange&& Apply) {
        bool bWake = false;
        {
            std::lock_guard<std::mutex> Lock(Mutex);
            Apply();
            bWake = bWriterWaiting;
        }
        if (bWake) Wake.notify_one();
    }

    bool Pending() const { return !(Sent == Changed); }

    void Run();
    // The lines that bring the guard from what it was sent to what is wanted; marks them sent. Under the lock.
    std::string TakePending(bool& bReleaseTaken);
    // The guard is gone: collects it and decides whether another is started. Under the lock.
    void GuardEnded(std::unique_lock<std::mutex>& Lock);
    bool StartGuard(std::unique_lock<std::mutex>& Lock);

    const GuardLinkOptions Options;

    std::mutex Mutex;
    std::condition_variable Wake;    // the writer waits on it for changes or the stop
    std::condition_variable Settled; // Flush and the destructor wait on it for the writer
    WatchedSeat Wanted;
    Versions Changed;
    Versions Sent;
    bool bWatching = false;
    std::uint64_t Watches = 0;       // Watch calls so far
    std::uint64_t GaveUpAt = 0;      // the Watch count at which starting guards was given up, 0 for never
    bool bStop = false;
    bool bWriterWaiting = false;
    bool bWriterDone = false;
    std::unique_ptr<GuardProcess> Process; // replaced only under the lock; written to outside it by the writer
    std::chrono::steady_clock::time_point StartedAt;
    std::vector<std::pair<bool, std::string>> Untold; // log lines not yet written
    std::thread Writer;
};

std::string GuardLink::FState::TakePending(bool& bReleaseTaken) {
    std::string Text;
    if (Sent.Seat != Changed.Seat) Text += SeatLine(Wanted.Seat);
    if (Sent.Envelope != Changed.Envelope) Text += EnvelopeLine(Wanted.Envelope);
    if (Sent.Effects != Changed.Effects) Text += EffectsLine(Wanted.Effects);
    if (Sent.Posture != Changed.Posture) Text += PostureLine(Wanted.LastPosture);
    bReleaseTaken = Sent.Release != Changed.Release && Wanted.bReleased;
    if (bReleaseTaken) Text += ReleaseLine();
    Sent = Changed;
    return Text;
}

bool GuardLink::FState::StartGuard(std::unique_lock<std::mutex>& Lock) {
    const std::uint64_t Watch = Watches;
    const std::uint64_t ReleasesBefore = Changed.Release; // a release from now on is this guard's to hear
    std::string Error;
    Lock.unlock();
    std::unique_ptr<GuardProcess> Started = Options.Start ? Options.Start(Error) : nullptr;
    Lock.lock();
    if (!Started) {
        GaveUpAt = Watch;
        Log(true, "cannot start the guard: " + (Error.empty() ? std::string("no way to start it") : Error) +
                      "; the seat is not parked if this program ends without releasing it");
        return false;
    }
    Log(false, "the guard started (process " + std::to_string(Started->Id()) +
                   "): it parks the seat if this program ends without releasing it");
    Process = std::move(Started);
    StartedAt = std::chrono::steady_clock::now();
    // A new guard knows nothing: everything is written to it, the format's version and the host first.
    Sent = Versions();
    Sent.Release = ReleasesBefore;
    return true;
}

void GuardLink::FState::GuardEnded(std::unique_lock<std::mutex>& Lock) {
    std::unique_ptr<GuardProcess> Gone = std::move(Process);
    const bool bShortLived = std::chrono::steady_clock::now() - StartedAt < Options.ShortLife;
    Lock.unlock();
    Gone->Kill(); // should a broken pipe leave it running, it would watch nothing
    Gone->WaitForExit();
    Gone.reset();
    Lock.lock();
    if (!bWatching || bStop) return;
    if (bShortLived) {
        GaveUpAt = Watches;
        Log(true, "the guard ended soon after its start; the seat is not guarded until it is registered again");
        return;
    }
    Log(true, "the guard ended unexpectedly; starting another");
    Sent = Versions();
    Sent.Release = Changed.Release;
}

void GuardLink::FState::Run() {
    if (Options.OnThreadStart) Options.OnThreadStart();
    std::unique_lock<std::mutex> Lock(Mutex);
    while (true) {
        TellLog(Lock);
        bWriterWaiting = true;
        Settled.notify_all();
        Wake.wait(Lock, [this] { return bStop || Pending(); });
        bWriterWaiting = false;
        if (!Pending()) break; // stopping, with nothing left to write

        const bool bNewGuard = !Process && bWatching && !bStop && GaveUpAt != Watches;
        if (bNewGuard && !StartGuard(Lock)) continue;
        if (!Process) {
            Sent = Changed; // nothing watched, or no guard to tell: the news is dropped
            continue;
        }
        bool bRelease = false;
        std::string Text = bNewGuard ? HelloLine() + HostLine(Wanted.HostPid, Wanted.HostName) : std::string();
        Text += TakePending(bRelease);
        GuardProcess* Guard = Process.get();
        Lock.unlock();
        const bool bWritten = Guard->Write(Text.data(), Text.size());
        if (bWritten && bRelease) Guard->CloseInput(); // it ends by itself, without sending anything
        Lock.lock();
        if (!bWritten) {
            GuardEnded(Lock);
        } else if (bRelease) {
            Process.reset();
        }
    }
    // The host goes without a release: the guard's input ends as if the host had ended.
    if (Process) Process->CloseInput();
    Process.reset();
    TellLog(Lock);
    bWriterDone = true;
    Settled.notify_all();
}

GuardLink::GuardLink(GuardLinkOptions Options) : State(std::make_unique<FState>(std::move(Options))) {
    State->Writer = std::thread([this] { State->Run(); });
}

GuardLink::~GuardLink() {
    std::unique_lock<std::mutex> Lock(State->Mutex);
    State->bStop = true;
    State->Wake.notify_one();
    if (!State->Settled.wait_for(Lock, ReadLimit, [this] { return State->bWriterDone; }) && State->Process) {
        State->Log(true, "the guard does not take what this program writes; ending it");
        State->Process->Kill();
    }
    Lock.unlock();
    State->Writer.join();
    Lock.lock();
    State->TellLog(Lock);
}

void GuardLink::Watch(const GuardedSeat& Seat) {
    State->Change([&] {
        State->Wanted.Seat = Seat;
        State->Wanted.bSeatKnown = true;
        State->Wanted.bReleased = false;
        State->bWatching = true;
        ++State->Watches;
        ++State->Changed.Seat;
    });
}

void GuardLink::UpdateUdpEndpoint(const char* Ip, int Port) {
    State->Change([&] {
        State->Wanted.Seat.UdpIp = Ip ? Ip : "";
        State->Wanted.Seat.UdpPort = Port;
        ++State->Changed.Seat;
    });
}

void GuardLink::UpdateEffectsEndpoints(const char* RelayIp, int RelayPort, const char* SpeedIp, int SpeedPort) {
    State->Change([&] {
        GuardedSeat& Seat = State->Wanted.Seat;
        Seat.bEffects = true;
        Seat.RelayIp = RelayIp ? RelayIp : "";
        Seat.RelayPort = RelayPort;
        Seat.SpeedIp = SpeedIp ? SpeedIp : "";
        Seat.SpeedPort = SpeedPort;
        ++State->Changed.Seat;
    });
}

void GuardLink::SetEnvelope(const KarvelCueing::CueingProfile& Envelope) {
    State->Change([&] {
        State->Wanted.Envelope = Envelope;
        ++State->Changed.Envelope;
    });
}

void GuardLink::PostPosture(const Posture& Sent) {
    State->Change([&] {
        State->Wanted.LastPosture = Sent;
        State->Wanted.bPostureKnown = true;
        ++State->Changed.Posture;
    });
}

void GuardLink::PostEffects(const EffectLevels& InForce) {
    State->Change([&] {
        State->Wanted.Effects = InForce;
        ++State->Changed.Effects;
    });
}

void GuardLink::Release() {
    State->Change([&] {
        if (!State->bWatching) return;
        State->bWatching = false;
        State->Wanted.bReleased = true;
        ++State->Changed.Release;
    });
}

bool GuardLink::Flush(std::chrono::milliseconds Timeout) {
    std::unique_lock<std::mutex> Lock(State->Mutex);
    return State->Settled.wait_for(Lock, Timeout, [this] {
        return State->bWriterDone || (State->bWriterWaiting && !State->Pending());
    });
}

} // namespace KarvelSeat
