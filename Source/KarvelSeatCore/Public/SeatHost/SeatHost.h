// The rules every host of the seat library follows, written once against its C interface: what a configuration
// hands the library, the checks on postures, the posture and effect levels in force, effects held across a
// pause, the shutdown order (park, effects off, home, release), and keeping the guard that parks the seat after a
// crash informed. The engine plugin and karvel drive their seat through one SeatHost each.
//
// A SeatHost is called from one thread at a time: a host that drives it from several serialises the calls (the
// engine plugin's motion runtime calls it from its own thread only). Library calls of all hosts in the process
// take turns, as the library takes one call at a time.
#pragma once

#include <functional>

#include "SeatCoreApi.h"
#include "SeatHost/EffectLevels.h"
#include "SeatHost/PostureRules.h"
#include "SeatHost/SeatLibrary.h"
#include "SeatModels/SeatModel.h"

namespace KarvelSeat {

class GuardLink;

// A seat registration as the library takes it. The texts are UTF-8 and only need to live for the call.
struct SeatSetup {
    int Model = TamselSeat.Code;
    const char* UdpIp = "";
    int UdpPort = 7408;
    bool EnableEffects = false;
    const char* RelayIp = "";
    int RelayPort = 8234;
    const char* SpeedIp = "";
    int SpeedPort = 8234;
};

class KARVELSEATCORE_API SeatHost {
public:
    // Library is the host's table; its functions may be null while nothing is bound, and are then not called.
    explicit SeatHost(const LibraryFunctions& Library);

    // The guard (not owned; null for none) is told from now on what the library was configured with, every posture
    // and effect level sent, and the release. A configuration the library refuses releases it too: nothing is left
    // for it to park.
    void SetGuard(GuardLink* Guard);

    // Configures the library's seat. The effects endpoints reach it only for a model with effects whose setup
    // enables them; otherwise effects are disabled and both addresses are empty (the ports go as given). The
    // seat is configured only when the library accepts; either way a release is due from now on. The posture
    // in force becomes the model's home and every effect counts as off.
    bool Configure(const SeatSetup& Setup);
    bool IsConfigured() const { return bConfigured; }
    const SeatModel& Model() const { return *CurrentModel; }
    bool EffectsEnabled() const { return bEffectsEnabled; }

    // Until a configuration succeeds, commands do nothing and the switches return false.

    // Sends the posture clamped (ClampPosture); one that is not finite is not sent. False when nothing was sent.
    bool SendPosture(const Posture& Requested);
    // The model's home command; the home becomes the posture in force.
    void ResetPosition();
    void SetWindSpeed(int Level);
    void SetWaterMist(int Level);
    void SetScent(int Level);
    void SetHeater(bool bOn);
    void TurnOffAllEffects();
    bool SetUdpEndpoint(const char* Ip, int Port);
    // Both effect links or neither; on success the new devices start with every effect off.
    bool SetEffectsEndpoints(const char* RelayIp, int RelayPort, const char* SpeedIp, int SpeedPort);

    // What was last commanded, not what the hardware reached.
    const Posture& PostureInForce() const { return LastPosture; }
    const EffectLevels& EffectsInForce() const { return Effects; }

    // A pause turns every effect off and notes the levels that were in force; the end of the pause turns them
    // on again, unless effects were commanded during the pause (a level set, or all off): that choice stands.
    // Holding twice keeps the first levels; a configuration or Stop forgets them.
    void HoldEffectsForPause();
    void RestoreEffectsAfterPause();
    bool AreEffectsHeld() const { return bHeld; }

    // The shutdown order, for every way a host stops: Park (the host's soft ramp home; may be empty), effects
    // off, then the home command, so the seat is never left tilted and nothing is left running.
    void Stop(const std::function<void()>& Park = {});
    // Stops the library's workers and closes its sockets, if a configuration was attempted since the last
    // release; afterwards nothing is configured. The library sends what is queued (home, effects off) first.
    void Release();
    // Stop, then Release: what a host does when it is done with the seat.
    void Shutdown(const std::function<void()>& Park = {});
    // Forgets the configuration without releasing the library, whose seat another host has configured since.
    void Abandon();

private:
    void ForgetHold();
    void NoteEffectsCommand();
    void TellGuardPosture();
    void TellGuardEffects();

    const LibraryFunctions& Library;
    GuardLink* Guard = nullptr;
    const SeatModel* CurrentModel = &TamselSeat;
    bool bConfigured = false;
    bool bConfigureAttempted = false;
    bool bEffectsEnabled = false;
    Posture LastPosture = TamselSeat.Home;
    EffectLevels Effects;
    bool bHeld = false;
    bool bCommandedWhileHeld = false;
    EffectLevels HeldEffects;
};

} // namespace KarvelSeat
