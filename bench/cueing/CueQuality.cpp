// 7. How well each cueing stands in for the vehicle, on the project's own
// rides (tools/motion/scenarios.py): every ride cued at 100 Hz by the
// presets of the core, by the previous release's road and flight presets
// (fed acceleration without gravity, as they were) and by a textbook
// classical washout fed specific force within the road preset's limits; each
// judged on what a rider perceives (cueing/evaluation). Writes JSON for
// make_table.py.
//
// Usage: karvel_bench_cue_quality SCENARIO_DIR OUT.json [--short]
//   --short: the first ten seconds of each ride (the test suite's smoke run).
#include <algorithm>
#include <cstdio>
#include <fstream>
#include <functional>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include "ClassicalWashout.h"
#include "CueEvaluation.h"
#include "MotionCueing.h"
#include "PreviousCueing.h"
#include "TelemetryFile.h"
#include "UsageError.h"

namespace karvel::bench {
namespace {

namespace eval = KarvelCueEvaluation;

constexpr double kRateHz = 100;
const char* const kRides[] = {"urban", "race", "flight", "rough", "coaster"};

struct Scenario {
    std::string name;
    eval::Ride ride;
    std::vector<std::array<double, 3>> acceleration; // without gravity, for the previous release's presets
};

Scenario loadScenario(const std::string& dir, const std::string& name, double seconds) {
    cli::TelemetryFile file = cli::loadTelemetryFile(dir + "/" + name + ".csv");
    if (!file.hasAcceleration) throw std::runtime_error(name + ": the ride lacks ax,ay,az");
    const double end = file.samples.front().time + seconds;
    file.samples.erase(std::find_if(file.samples.begin(), file.samples.end(),
                                    [end](const cli::TelemetrySample& s) { return s.time > end; }),
                       file.samples.end());
    Scenario s{name, cli::rideOf(file, kRateHz, name), {}};
    for (std::size_t i = 0; i < s.ride.Samples.size(); ++i)
        s.acceleration.push_back(
            cli::telemetryAt(file, file.samples.front().time + static_cast<double>(i) * s.ride.Dt).acceleration);
    return s;
}

// One cueing under test: a fresh cuer for each ride.
struct Candidate {
    std::string name;
    std::string role; // "previous", "reference" or "preset"
    std::function<eval::Cuer(const Scenario&)> make;
    KarvelCueing::CueingProfile limits; // the ranges its shares of use are taken of
};

// The ranges of a preset of the previous release, as a profile.
KarvelCueing::CueingProfile previousLimits(const PreviousPreset& p) {
    KarvelCueing::CueingProfile limits;
    limits.PitchLimit = p.pitchLimit;
    limits.RollLimit = p.rollLimit;
    limits.YawLimit = p.yawLimit;
    limits.HeightMin = p.heightMin;
    limits.HeightMax = p.heightMax;
    return limits;
}

std::vector<Candidate> candidates(const KarvelSeat::SeatModel& seat) {
    const double neutral = seat.Home.Height;
    std::vector<Candidate> list;
    for (const auto& [label, preset] : {std::pair<const char*, const PreviousPreset*>{"road", &previousRoad()},
                                        {"flight", &previousFlight()}}) {
        list.push_back({std::string(label) + " (0.6)", "previous", [preset = preset, neutral](const Scenario& s) {
                            auto cueing = std::make_shared<PreviousCueing>(*preset, neutral);
                            auto step = std::make_shared<std::size_t>(0);
                            return eval::Cuer([cueing, step, &s](double dt, const eval::RideSample& v) {
                                return cueing->step(dt, s.acceleration[(*step)++], v.AngularVelocity);
                            });
                        },
                        previousLimits(*preset)});
    }
    list.push_back({"classical washout", "reference", [&seat, neutral](const Scenario&) {
                        auto washout = std::make_shared<ClassicalWashout>(
                            ClassicalSettings{}, KarvelCueing::RoadVehicleProfile(), seat.StrokeMetres(), neutral);
                        return eval::Cuer([washout](double dt, const eval::RideSample& v) {
                            return washout->step(dt, v.SpecificForce, v.AngularVelocity);
                        });
                    },
                    KarvelCueing::RoadVehicleProfile()});
    for (const std::string& name : KarvelCueing::PresetProfileNames()) {
        list.push_back({name, "preset", [name](const Scenario&) {
                            auto core =
                                std::make_shared<KarvelCueing::MotionCueing>(*KarvelCueing::FindPresetProfile(name));
                            const eval::Cuer cue = eval::CueWith(*core);
                            return eval::Cuer([core, cue](double dt, const eval::RideSample& v) { return cue(dt, v); });
                        },
                        *KarvelCueing::FindPresetProfile(name)});
    }
    return list;
}

std::string number(double value) {
    char text[32];
    std::snprintf(text, sizeof text, "%.6g", value);
    return text;
}

std::string evaluationJson(const eval::Evaluation& e) {
    std::string json = "{\"mean_nrmse\": " + number(e.MeanNrmse()) +
                       ", \"false_cue_s\": " + number(e.FalseCueSeconds()) + ", \"channels\": {";
    for (int c = 0; c < eval::ChannelCount; ++c) {
        const eval::ChannelMeasures& m = e.Measures[c];
        json += std::string(c ? ", " : "") + "\"" + eval::ChannelName(c) + "\": {\"nrmse\": " + number(m.Nrmse) +
                ", \"correlation\": " + number(m.Correlation) + ", \"lag_s\": " +
                (m.HasLag ? number(m.LagSeconds) : "null") + ", \"false_s\": " + number(m.FalseCueSeconds) + "}";
    }
    json += "}, \"range_share\": {";
    for (int a = 0; a < eval::PostureAxisCount; ++a)
        json += std::string(a ? ", " : "") + "\"" + eval::PostureAxisName(a) + "\": " + number(e.RangeShare[a]);
    return json + "}}";
}

int run(int argc, char** argv) {
    if (argc < 3) {
        std::fprintf(stderr, "usage: %s SCENARIO_DIR OUT.json [--short]\n", argv[0]);
        return 2;
    }
    const bool brief = argc > 3 && std::string(argv[3]) == "--short";
    const KarvelSeat::SeatModel& seat = KarvelSeat::OrvidaSeat;

    std::vector<Scenario> scenarios;
    for (const char* name : kRides) scenarios.push_back(loadScenario(argv[1], name, brief ? 10 : 1e9));

    std::string json = "{\"rate_hz\": " + number(kRateHz) + ", \"stroke_m\": " + number(seat.StrokeMetres()) +
                       ", \"candidates\": [";
    bool first = true;
    for (const Candidate& candidate : candidates(seat)) {
        json += std::string(first ? "" : ",") + "\n  {\"name\": \"" + candidate.name + "\", \"role\": \"" +
                candidate.role + "\", \"rides\": {";
        first = false;
        for (std::size_t i = 0; i < scenarios.size(); ++i) {
            const Scenario& s = scenarios[i];
            const eval::Evaluation e =
                eval::Evaluate(s.ride, candidate.make(s), eval::GeometryFor(candidate.limits, seat));
            json += std::string(i ? ", " : "") + "\"" + s.name + "\": " + evaluationJson(e);
            std::fprintf(stderr, "%-20s %-8s mean nRMSE %.3f, false cues %.1f s\n", candidate.name.c_str(),
                         s.name.c_str(), e.MeanNrmse(), e.FalseCueSeconds());
        }
        json += "}}";
    }
    json += "\n]}\n";
    std::ofstream out(argv[2]);
    out << json;
    return out ? 0 : 1;
}

} // namespace
} // namespace karvel::bench

int main(int argc, char** argv) {
    try {
        return karvel::bench::run(argc, argv);
    } catch (const std::exception& error) {
        std::fprintf(stderr, "karvel_bench_cue_quality: %s\n", error.what());
        return 1;
    }
}
