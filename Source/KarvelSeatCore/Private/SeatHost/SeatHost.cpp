#include "SeatHost/SeatHost.h"

#include <mutex>

#include "SeatGuard/GuardLink.h"

namespace KarvelSeat {

namespace {

// The library has one controller for the whole process and takes its calls one at a time: hosts on several
// threads (a motion runtime per game instance) take turns.
template <typename FCall>
auto InTurn(FCall&& Call) {
    static std::mutex Turn;
    std::lock_guard<std::mutex> Lock(Turn);
    return Call();
}

} // namespace

SeatHost::SeatHost(const LibraryFunctions& InLibrary) : Library(InLibrary) {}

void SeatHost::SetGuard(GuardLink* InGuard) { Guard = InGuard; }

bool SeatHost::Configure(const SeatSetup& Setup) {
    if (Library.SetConfiguration == nullptr) return false;
    const SeatModel& Model = SeatModelOf(Setup.Model);
    const bool bEffects = Model.HasEffects && Setup.EnableEffects;
    bConfigureAttempted = true;
    bConfigured = InTurn([&] {
        return Library.SetConfiguration(Setup.Model, Setup.UdpIp, Setup.UdpPort, bEffects ? 1 : 0,
                                        bEffects ? Setup.RelayIp : "", Setup.RelayPort, bEffects ? Setup.SpeedIp : "",
                                        Setup.SpeedPort);
    });
    CurrentModel = &Model;
    bEffectsEnabled = bConfigured && bEffects;
    LastPosture = Model.Home;
    Effects = EffectLevels();
    ForgetHold();
    if (Guard != nullptr && bConfigured) {
        GuardedSeat Watched;
        Watched.Model = Setup.Model;
        Watched.UdpIp = Setup.UdpIp ? Setup.UdpIp : "";
        Watched.UdpPort = Setup.UdpPort;
        Watched.bEffects = bEffects;
        Watched.RelayIp = bEffects && Setup.RelayIp ? Setup.RelayIp : "";
        Watched.RelayPort = Setup.RelayPort;
        Watched.SpeedIp = bEffects && Setup.SpeedIp ? Setup.SpeedIp : "";
        Watched.SpeedPort = Setup.SpeedPort;
        Guard->Watch(Watched);
        TellGuardEffects();
        TellGuardPosture();
    } else if (Guard != nullptr) {
        Guard->Release();
    }
    return bConfigured;
}

bool SeatHost::SendPosture(const Posture& Requested) {
    if (!bConfigured || !IsFinite(Requested)) return false;
    LastPosture = ClampPosture(Requested);
    InTurn([&] { Library.SendSeatPosture(LastPosture.Pitch, LastPosture.Roll, LastPosture.Yaw, LastPosture.Height); });
    TellGuardPosture();
    return true;
}

void SeatHost::ResetPosition() {
    if (!bConfigured) return;
    InTurn([&] { Library.ResetPosition(); });
    LastPosture = CurrentModel->Home;
    TellGuardPosture();
}

void SeatHost::SetWindSpeed(int Level) {
    if (!bConfigured) return;
    InTurn([&] { Library.SetWindSpeed(Level); });
    Effects.Wind = Level;
    NoteEffectsCommand();
}

void SeatHost::SetWaterMist(int Level) {
    if (!bConfigured) return;
    InTurn([&] { Library.SetWaterMist(Level); });
    Effects.WaterMist = Level;
    NoteEffectsCommand();
}

void SeatHost::SetScent(int Level) {
    if (!bConfigured) return;
    InTurn([&] { Library.SetScent(Level); });
    Effects.Scent = Level;
    NoteEffectsCommand();
}

void SeatHost::SetHeater(bool bOn) {
    if (!bConfigured) return;
    InTurn([&] { Library.SetHeater(bOn ? 1 : 0); });
    Effects.Heater = bOn;
    NoteEffectsCommand();
}

void SeatHost::TurnOffAllEffects() {
    if (!bConfigured) return;
    InTurn([&] { Library.TurnOffAllEffects(); });
    Effects = EffectLevels();
    NoteEffectsCommand();
}

bool SeatHost::SetUdpEndpoint(const char* Ip, int Port) {
    if (!bConfigured || !InTurn([&] { return Library.SetUdpEndpoint(Ip, Port); })) return false;
    if (Guard != nullptr) Guard->UpdateUdpEndpoint(Ip, Port);
    return true;
}

bool SeatHost::SetEffectsEndpoints(const char* RelayIp, int RelayPort, const char* SpeedIp, int SpeedPort) {
    if (!bConfigured || !InTurn([&] { return Library.SetEffectsEndpoints(RelayIp, RelayPort, SpeedIp, SpeedPort); }))
        return false;
    bEffectsEnabled = true;
    Effects = EffectLevels();
    if (Guard != nullptr) Guard->UpdateEffectsEndpoints(RelayIp, RelayPort, SpeedIp, SpeedPort);
    TellGuardEffects();
    return true;
}

void SeatHost::HoldEffectsForPause() {
    if (!bConfigured || bHeld) return;
    HeldEffects = Effects;
    bHeld = true;
    bCommandedWhileHeld = false;
    // Off whatever the levels say: the devices may hold more than was commanded here.
    InTurn([&] { Library.TurnOffAllEffects(); });
    Effects = EffectLevels();
    TellGuardEffects();
}

void SeatHost::RestoreEffectsAfterPause() {
    if (!bHeld) return;
    const bool bGameChoseMeanwhile = bCommandedWhileHeld;
    const EffectLevels Held = HeldEffects;
    ForgetHold();
    if (!bConfigured || bGameChoseMeanwhile) return;
    if (Held.Wind != 0) SetWindSpeed(Held.Wind);
    if (Held.WaterMist != 0) SetWaterMist(Held.WaterMist);
    if (Held.Scent != 0) SetScent(Held.Scent);
    if (Held.Heater) SetHeater(true);
}

void SeatHost::Stop(const std::function<void()>& Park) {
    if (Park) Park();
    TurnOffAllEffects();
    ResetPosition();
    ForgetHold();
}

void SeatHost::Release() {
    if (bConfigureAttempted && Library.Release != nullptr) InTurn([&] { Library.Release(); });
    // Only now: a host that ends during the release is still parked by its guard.
    if (Guard != nullptr) Guard->Release();
    Abandon();
}

void SeatHost::Abandon() {
    bConfigureAttempted = false;
    bConfigured = false;
    bEffectsEnabled = false;
    ForgetHold();
}

void SeatHost::Shutdown(const std::function<void()>& Park) {
    Stop(Park);
    Release();
}

void SeatHost::ForgetHold() {
    bHeld = false;
    bCommandedWhileHeld = false;
    HeldEffects = EffectLevels();
}

void SeatHost::NoteEffectsCommand() {
    if (bHeld) bCommandedWhileHeld = true;
    TellGuardEffects();
}

void SeatHost::TellGuardPosture() {
    if (Guard != nullptr) Guard->PostPosture(LastPosture);
}

void SeatHost::TellGuardEffects() {
    if (Guard != nullptr) Guard->PostEffects(Effects);
}

} // namespace KarvelSeat
