#include "Cue.h"

#include <fstream>
#include <sstream>

#include "Console.h"
#include "PacedStream.h"
#include "SoftPark.h"

namespace karvel::cli {

namespace {

std::string presetList() {
    std::string names;
    for (const std::string& name : KarvelCueing::PresetProfileNames()) names += (names.empty() ? "" : ", ") + name;
    return names;
}

KarvelCueing::VehicleMotion motionOf(const TelemetrySample& sample) {
    const auto& m = sample.motion;
    return {{m[0], m[1], m[2]}, {m[3], m[4], m[5]}};
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
    cueing.SetHome(KarvelCueing::HomePose(seat.model()));

    const double start = file.samples.front().time;
    const double dt = 1.0 / rateHz;
    PacedStream stream(file.duration(), rateHz);
    const bool complete = stream.run([&](double offset) {
        sendPose(seat, cueing.Step(dt, motionOf(telemetryAt(file, start + offset))));
    });
    if (!complete) console::printLine("karvel: interrupted; parking the seat");
    const std::optional<std::uint64_t> parked = parkSoftly(seat, cueing, stream);
    stream.printSummary("cue");
    printPark("cue", ("profile " + profile.name + "; ").c_str(), parked, rateHz);
    return complete ? 0 : 130;
}

} // namespace karvel::cli
