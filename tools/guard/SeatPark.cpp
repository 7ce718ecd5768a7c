#include "SeatPark.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <thread>

#include "MotionCueing/MotionCueing.h"
#include "SeatHost/SeatHost.h"

namespace karvel::guard {

namespace {

using Clock = std::chrono::steady_clock;

constexpr std::chrono::milliseconds kPortRetry{100};

void tell(const std::function<void(const std::string&)>& to, const std::string& line) {
    if (to) to(line);
}

// Configures the seat, trying again while UDP port 8410 is taken (the only
// reason a configuration the host's library accepted fails now).
bool configure(KarvelSeat::SeatHost& host, const KarvelSeat::GuardedSeat& seat, const ParkOptions& options) {
    KarvelSeat::SeatSetup setup;
    setup.Model = seat.Model;
    setup.UdpIp = seat.UdpIp.c_str();
    setup.UdpPort = seat.UdpPort;
    setup.EnableEffects = seat.bEffects;
    setup.RelayIp = seat.RelayIp.c_str();
    setup.RelayPort = seat.RelayPort;
    setup.SpeedIp = seat.SpeedIp.c_str();
    setup.SpeedPort = seat.SpeedPort;
    const Clock::time_point giveUp = Clock::now() + options.portWait;
    for (bool first = true;; first = false) {
        if (host.Configure(setup)) return true;
        if (Clock::now() >= giveUp) {
            host.Release();
            return false;
        }
        if (first) {
            char seconds[32];
            std::snprintf(seconds, sizeof(seconds), "%g", std::chrono::duration<double>(options.portWait).count());
            tell(options.say, "UDP port 8410 is in use (a host still drives the seat?); waiting up to " +
                                  std::string(seconds) + " s for it to be free");
            tell(options.phase, "waiting for UDP port 8410");
        }
        std::this_thread::sleep_for(kPortRetry);
    }
}

KarvelCueing::MotionCueing parkFrom(const KarvelSeat::WatchedSeat& seat) {
    KarvelCueing::MotionCueing cueing;
    if (!cueing.SetProfile(seat.Envelope)) cueing.SetProfile(KarvelSeat::PostureEnvelope());
    cueing.SetSeatModel(KarvelSeat::SeatModelOf(seat.Seat.Model)); // its home, and its platform's limits
    const KarvelSeat::Posture& at = seat.LastPosture;
    cueing.StandAt({at.Pitch, at.Roll, at.Yaw, at.Height});
    cueing.Park();
    return cueing;
}

} // namespace

ParkReport parkSeat(const KarvelSeat::LibraryFunctions& library, KarvelSeat::WatchedSeat& seat,
                    const ParkOptions& options) {
    ParkReport report;
    KarvelSeat::SeatHost host(library);
    if (!configure(host, seat.Seat, options)) {
        report.end = ParkReport::End::PortBusy;
        return report;
    }
    // The water and the heater first: nothing about them needs to wait for the ramp.
    if (host.EffectsEnabled()) host.TurnOffAllEffects();
    // What the seat is left with, however the park ends.
    const auto leftHome = [&] {
        host.Shutdown(); // effects off (again), home, release (which sends both first)
        seat.LastPosture = host.Model().Home;
        seat.bPostureKnown = true;
        seat.Effects = KarvelSeat::EffectLevels();
    };
    if (!seat.bPostureKnown) {
        report.end = ParkReport::End::AtOnce;
        leftHome();
        return report;
    }

    KarvelCueing::MotionCueing cueing = parkFrom(seat);
    const double step = 1.0 / options.rateHz;
    const auto limit = static_cast<std::uint64_t>(
        std::ceil((2 * cueing.Profile().ParkSeconds + 1) / std::min(step, KarvelCueing::MaxStepSeconds)));
    const auto period = std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double>(step));
    tell(options.phase, "parking");
    const Clock::time_point start = Clock::now();
    while (!cueing.IsParked()) {
        if (report.frames == limit) {
            report.end = ParkReport::End::NotInTime;
            break;
        }
        std::this_thread::sleep_until(start + period * static_cast<Clock::rep>(report.frames));
        const KarvelCueing::SeatPose pose = cueing.StepPark(step);
        host.SendPosture({static_cast<float>(pose.Pitch), static_cast<float>(pose.Roll), static_cast<float>(pose.Yaw),
                          static_cast<float>(pose.Height)});
        ++report.frames;
    }
    report.seconds = std::chrono::duration<double>(Clock::now() - start).count();
    leftHome();
    return report;
}

} // namespace karvel::guard
