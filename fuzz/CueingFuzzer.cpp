// A profile text and then any stream of steps: the parser never crashes, and
// whatever the steps carry, every posture that leaves the core is finite,
// within the profile's ranges (home aside) and one the seat can take: every
// support axis within its stroke, and clear of its ends unless parking into
// a home at the bottom of the stroke.
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>

#include "MotionCueing.h"

namespace {

double Take(const std::uint8_t*& Data, std::size_t& Size) {
    double value = 0;
    const std::size_t n = Size < sizeof value ? Size : sizeof value;
    std::memcpy(&value, Data, n);
    Data += n;
    Size -= n;
    return value;
}

bool Within(double Value, double Lo, double Hi) {
    return std::isfinite(Value) && Value >= Lo - 1e-9 && Value <= Hi + 1e-9;
}

bool OnThePlatform(const KarvelCueing::SeatPose& Pose, double Margin) {
    const KarvelCueing::PlatformVector axes = KarvelCueing::AxisPositions({Pose.Pitch, Pose.Roll, Pose.Height});
    for (const double axis : axes)
        if (!Within(axis, Margin, 1 - Margin)) return false;
    return true;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    // The text runs up to the first NUL byte; the steps follow it.
    const std::string_view all(reinterpret_cast<const char*>(data), size);
    const std::size_t end = all.find('\0');
    KarvelCueing::CueingProfile profile;
    std::string error;
    if (!KarvelCueing::ParseProfileText(all.substr(0, end), profile, error)) profile = KarvelCueing::CueingProfile();
    if (end == std::string_view::npos) return 0;
    data += end + 1;
    size -= end + 1;

    KarvelCueing::MotionCueing core(profile);
    const KarvelCueing::CueingProfile& p = core.Profile();
    while (size > 0) {
        const std::uint8_t mode = *data++;
        --size;
        const double dt = Take(data, size);
        KarvelCueing::SeatPose out;
        switch (mode % 7) {
        case 0:
        case 1: {
            KarvelCueing::VehicleMotion m;
            m.SpecificForce = {Take(data, size), Take(data, size), Take(data, size)};
            m.AngularVelocity = {Take(data, size), Take(data, size), Take(data, size)};
            out = core.Step(dt, m);
            break;
        }
        case 2: {
            KarvelCueing::SeatPose requested;
            requested.Pitch = Take(data, size);
            requested.Roll = Take(data, size);
            requested.Yaw = Take(data, size);
            requested.Height = Take(data, size);
            out = core.StepPosture(dt, requested);
            break;
        }
        case 3: out = core.StepPark(dt); break;
        case 4: core.Resume(); out = core.Current(); break;
        case 5: core.Recentre(); out = core.Current(); break;
        default:
            // A fresh stream on the other seat: an Orvida homes mid-stroke, a Tamsel at the bottom.
            core.SetSeatModel(core.Home().Height == 0 ? KarvelSeat::OrvidaSeat : KarvelSeat::TamselSeat);
            core.Reset();
            out = core.Current();
            break;
        }
        core.TakeNonFiniteReport();
        const double home = core.Home().Height;
        // Home may lie below HeightMin: the seat starts and parks there, and a
        // Tamsel's home is the bottom of the stroke.
        const bool clear = home > 0;
        if (!Within(out.Pitch, -p.PitchLimit, p.PitchLimit) || !Within(out.Roll, -p.RollLimit, p.RollLimit) ||
            !Within(out.Yaw, -p.YawLimit, p.YawLimit) ||
            !Within(out.Height, std::fmin(p.HeightMin, home), std::fmax(p.HeightMax, home)) ||
            !OnThePlatform(out, clear ? 0.05 : 0))
            __builtin_trap();
    }
    return 0;
}
