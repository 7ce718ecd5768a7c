#include "Cue.h"

#include <filesystem>
#include <fstream>
#include <sstream>

#include "PacedStream.h"

namespace karvel::cli {

namespace {

std::string presetList() {
    std::string names;
    for (const std::string& name : KarvelCueing::PresetProfileNames()) names += (names.empty() ? "" : ", ") + name;
    return names;
}

KarvelCueing::VehicleMotion motionOf(const TelemetrySample& sample) {
    const auto& f = sample.force;
    const auto& w = sample.rates;
    return {{f[0], f[1], f[2]}, {w[0], w[1], w[2]}};
}

} // namespace

NamedProfile loadCueProfile(const std::string& nameOrPath) {
    if (const KarvelCueing::CueingProfile* preset = KarvelCueing::FindPresetProfile(nameOrPath))
        return {nameOrPath, *preset};
    std::ifstream input(std::filesystem::u8path(nameOrPath));
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

int cue(SeatMotion& motion, const TelemetryFile& file) {
    const double start = file.samples.front().time;
    PacedStream stream("cue", motion, file.duration());
    stream.run([&](double offset, double dt) {
        return motion.cueing().Step(dt, motionOf(telemetryAt(file, start + offset)));
    });
    stream.printSummary();
    return 0;
}

} // namespace karvel::cli
