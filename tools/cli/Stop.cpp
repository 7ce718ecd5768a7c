#include "Stop.h"

#include <cstdio>

#include "Console.h"
#include "SeatPark.h"
#include "StateFile.h"

namespace karvel::cli {

namespace {

void say(const std::string& line) { console::printResult("karvel stop: " + line); }

KarvelSeat::WatchedSeat optionsSeat(const SeatSetup& setup) {
    KarvelSeat::WatchedSeat seat;
    seat.bSeatKnown = true;
    seat.Seat.Model = setup.model->Code;
    seat.Seat.UdpIp = setup.motion.ip;
    seat.Seat.UdpPort = setup.motion.port;
    seat.Seat.bEffects = setup.model->HasEffects;
    if (seat.Seat.bEffects) {
        seat.Seat.RelayIp = setup.relay.ip;
        seat.Seat.RelayPort = setup.relay.port;
        seat.Seat.SpeedIp = setup.speed.ip;
        seat.Seat.SpeedPort = setup.speed.port;
    }
    return seat;
}

std::string described(const KarvelSeat::WatchedSeat& seat) {
    const KarvelSeat::Posture& p = seat.LastPosture;
    const KarvelSeat::EffectLevels& e = seat.Effects;
    char text[256];
    std::snprintf(text, sizeof(text),
                  "%s seat at %s:%d; pitch %.2f, roll %.2f, yaw %.2f, height %.3f; fan %d, water mist %d, scent %d, "
                  "heater %s",
                  KarvelSeat::SeatModelOf(seat.Seat.Model).Name, seat.Seat.UdpIp.c_str(), seat.Seat.UdpPort, p.Pitch,
                  p.Roll, p.Yaw, p.Height, e.Wind, e.WaterMist, e.Scent, e.Heater ? "on" : "off");
    return text;
}

} // namespace

int stopSeat(const KarvelSeat::LibraryFunctions& library, const StopOptions& options) {
    const guard::StateFile file(options.stateDir);
    std::string problems;
    std::optional<KarvelSeat::WatchedSeat> known = file.read(problems);
    if (!problems.empty()) console::printLine("karvel stop: skipped in " + file.path() + ": " + problems);
    KarvelSeat::WatchedSeat seat;
    if (known && known->bSeatKnown) {
        seat = *known;
        const std::string host = seat.HostName.empty() ? "its host" : seat.HostName + " (process " + std::to_string(seat.HostPid) + ")";
        say("the seat as the guard of " + host + " last knew it: " + described(seat));
        if (!seat.Phase.empty()) say("the guard's last word: " + seat.Phase);
    } else {
        seat = optionsSeat(options.seat);
        console::printLine(console::format("karvel stop: warning: no seat known in %s: its posture is unknown, so the "
                                           "%s seat at %s is homed at once (a soft ramp needs a known start), every "
                                           "effect off",
                                           file.path().c_str(), options.seat.model->Name,
                                           options.seat.motion.text().c_str()));
    }

    guard::ParkOptions park;
    park.portWait = std::chrono::milliseconds(static_cast<long long>(options.portWaitSeconds * 1000));
    park.say = say;
    const guard::ParkReport report = guard::parkSeat(library, seat, park);
    char detail[96];
    std::snprintf(detail, sizeof(detail), "in %.2f s (%llu frames)", report.seconds,
                  static_cast<unsigned long long>(report.frames));
    const std::string effects = seat.Seat.bEffects ? ", every effect off" : "";
    switch (report.end) {
    case guard::ParkReport::End::Parked:
        say(std::string("the seat is parked ") + detail + effects);
        break;
    case guard::ParkReport::End::NotInTime:
        say("the ramp did not bring the seat home in time: homed at once" + effects);
        break;
    case guard::ParkReport::End::AtOnce:
        say("the seat is homed" + effects);
        break;
    case guard::ParkReport::End::PortBusy:
        say("UDP port 8410 stayed in use: a host or a guard still drives the seat; nothing sent");
        return 1;
    }
    seat.bReleased = true;
    seat.Phase = "stopped by karvel stop (" + guard::timeNow() + ")";
    std::string error;
    if (!file.write(seat, error)) console::printLine("karvel stop: " + error);
    return 0;
}

} // namespace karvel::cli
