#include "Cue.h"

#include <cmath>
#include <cstdio>
#include <fstream>
#include <sstream>

#include "Console.h"
#include "PacedStream.h"

namespace karvel::cli {

namespace {

using KarvelCueing::SeatPose;

std::string presetList() {
    std::string names;
    for (const std::string& name : KarvelCueing::PresetProfileNames()) names += (names.empty() ? "" : ", ") + name;
    return names;
}

KarvelCueing::VehicleMotion motionOf(const TelemetrySample& sample) {
    const auto& m = sample.motion;
    return {{m[0], m[1], m[2]}, {m[3], m[4], m[5]}};
}

void send(SeatSession& seat, const SeatPose& pose) {
    seat.posture(static_cast<float>(pose.Pitch), static_cast<float>(pose.Roll), static_cast<float>(pose.Yaw),
                 static_cast<float>(pose.Height));
}

// Ramps home on the stream's schedule; the steps the park took, or nothing
// when the seat was not home within twice the profile's park time and a second.
std::optional<std::uint64_t> park(SeatSession& seat, KarvelCueing::MotionCueing& cueing, PacedStream& stream) {
    const double dt = 1.0 / stream.rate();
    const auto limit = static_cast<std::uint64_t>(std::ceil((2 * cueing.Profile().ParkSeconds + 1) * stream.rate()));
    cueing.Park();
    for (std::uint64_t steps = 1; steps <= limit; ++steps) {
        stream.extra([&] { send(seat, cueing.StepPark(dt)); });
        if (cueing.IsParked()) return steps;
    }
    return std::nullopt;
}

} // namespace

NamedProfile loadCueProfile(const std::string& nameOrPath) {
    if (const KarvelCueing::CueingProfile* preset = KarvelCueing::FindPresetProfile(nameOrPath))
        return {nameOrPath, *preset};
    std::ifstream input(nameOrPath);
    if (!input)
        throw UsageError("unknown profile '" + nameOrPath + "': give a preset (" + presetList() +
                         ") or a profile file");
    std::stringstream text;
    text << input.rdbuf();
    NamedProfile result{nameOrPath, {}};
    std::string error;
    if (!KarvelCueing::ParseProfileText(text.str(), result.profile, error))
        throw UsageError("profile " + nameOrPath + ": " + error);
    return result;
}

int cue(SeatSession& seat, const TelemetryFile& file, const NamedProfile& profile, double rateHz) {
    KarvelCueing::MotionCueing cueing;
    std::string error;
    if (!cueing.SetProfile(profile.profile, &error)) throw UsageError("profile " + profile.name + ": " + error);
    SeatPose home;
    home.Height = seat.homeHeight();
    cueing.SetHome(home);

    const double start = file.samples.front().time;
    const double dt = 1.0 / rateHz;
    PacedStream stream(file.duration(), rateHz);
    const bool complete = stream.run([&](double offset) {
        send(seat, cueing.Step(dt, motionOf(telemetryAt(file, start + offset))));
    });
    if (!complete) console::printLine("karvel: interrupted; parking the seat");
    const std::optional<std::uint64_t> parked = park(seat, cueing, stream);
    stream.printSummary("cue");
    if (parked)
        std::printf("cue: profile %s; parked in %.2f s (%llu frames)\n", profile.name.c_str(),
                    static_cast<double>(*parked) * dt, static_cast<unsigned long long>(*parked));
    else
        std::printf("cue: profile %s; the seat was not home in time, homing it at once\n", profile.name.c_str());
    return complete ? 0 : 130;
}

} // namespace karvel::cli
