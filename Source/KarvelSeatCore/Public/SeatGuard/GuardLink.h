// A host's link to its guard (karvel-guard): a separate program that parks the seat and turns every effect off when
// the host ends without releasing it (a crash, kill -9, Task Manager). The host tells the link what the library was
// configured with, each posture it sent and the effects in force; a thread of the link starts the guard and writes
// the latest of each to it (WatchedSeat.h has the lines). A release tells the guard to end without sending anything.
//
// Every call only records the latest state and returns: it never waits for the guard, and a guard that reads slowly
// gets the newest posture, not every one. The calls may come from any thread. A guard that ends by itself is started
// again; one that ends within ShortLife of its start, or cannot be started, is left until the next Watch.
#pragma once

#include "SeatCoreApi.h"

#include <chrono>
#include <functional>
#include <memory>
#include <string>

#include "SeatGuard/GuardProcess.h"
#include "SeatGuard/WatchedSeat.h"

namespace KarvelSeat {

struct GuardLinkOptions {
    // Starts a guard; null, with Error saying why, when it cannot. Runs on the link's thread.
    std::function<std::unique_ptr<GuardProcess>(std::string& Error)> Start;
    // The link's own lines (a guard started, ended, could not start), from the link's thread.
    std::function<void(bool bError, const std::string& Line)> Log;
    // Who the host is, for the guard's messages and state file.
    int HostPid = 0;
    std::string HostName;
    // A guard that ends sooner after its start than this is not started again (it would only end again).
    std::chrono::milliseconds ShortLife{1000};
    // Runs first on the link's thread: a host that has its signals taken by one thread keeps them off this one.
    std::function<void()> OnThreadStart;
};

class KARVELSEATCORE_API GuardLink {
public:
    explicit GuardLink(GuardLinkOptions Options);
    // Ends the link's thread after it has written what is pending. Without a Release the guard's input is closed as
    // if the host had ended, so the guard parks the seat once the host frees UDP port 8410. A guard that takes more
    // than two seconds to read what is pending is ended instead.
    ~GuardLink();
    GuardLink(const GuardLink&) = delete;
    GuardLink& operator=(const GuardLink&) = delete;

    // The library now drives Seat: a guard is started if none runs. The posture and effects are those posted.
    void Watch(const GuardedSeat& Seat);
    void UpdateUdpEndpoint(const char* Ip, int Port);
    void UpdateEffectsEndpoints(const char* RelayIp, int RelayPort, const char* SpeedIp, int SpeedPort);
    // The limits the host's postures keep to, which the guard's park keeps to too (PostureEnvelope until set).
    void SetEnvelope(const KarvelCueing::CueingProfile& Envelope);
    void PostPosture(const Posture& Sent);
    void PostEffects(const EffectLevels& InForce);
    // The host released the seat: the guard ends without sending anything. Until the next Watch nothing is guarded.
    void Release();

    // Waits until everything posted so far was written to the guard (or there is none to write to); false at the
    // time-out. For hosts and tests that need the guard to know.
    bool Flush(std::chrono::milliseconds Timeout);

private:
    struct FState;
    std::unique_ptr<FState> State;
};

} // namespace KarvelSeat
