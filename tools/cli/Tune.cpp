#include "Tune.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>

#include "Console.h"
#include "Interrupt.h"
#include "Progress.h"
#include "Terminal.h"
#include "TuneReport.h"
#include "UsageError.h"

namespace karvel::cli {

namespace {

namespace eval = KarvelCueEvaluation;

struct Interrupted {};

const KarvelSeat::SeatModel& seatNamed(const std::string& model) {
    const KarvelSeat::SeatModel* seat = KarvelSeat::FindSeatModel(model);
    if (!seat) throw UsageError("unknown seat model '" + model + "' (orvida or tamsel)");
    return *seat;
}

// The file's name without its folders (either slash on Windows) and its last extension.
std::string stem(const std::string& path) { return std::filesystem::u8path(path).stem().u8string(); }

void printSummary(const std::string& name, const eval::Ride& ride, const NamedProfile& profile,
                  const KarvelSeat::SeatModel& seat, const eval::Evaluation& e) {
    const auto print = [](const std::string& line) { console::printResult(line); };
    print(console::format("tune: %s, %.2f s at %.0f Hz, profile %s, seat %s", name.c_str(), ride.Seconds(),
                          1 / ride.Dt, profile.name.c_str(), seat.Name));
    print(console::format("  %-7s %7s %12s %8s %12s %13s %10s", "channel", "nRMSE", "correlation", "lag", "wrong-way",
                          "vehicle RMS", "seat RMS"));
    for (int c = 0; c < eval::ChannelCount; ++c) {
        const eval::ChannelMeasures& m = e.Measures[c];
        char lag[16] = "-";
        if (m.HasLag) std::snprintf(lag, sizeof lag, "%.2f s", m.LagSeconds);
        print(console::format("  %-7s %7.3f %12.2f %8s %10.1f s %13.3g %10.3g %s", eval::ChannelName(c), m.Nrmse,
                              m.Correlation, lag, m.FalseCueSeconds, m.VehicleRms, m.SeatRms, eval::ChannelUnit(c)));
    }
    print(console::format("  mean nRMSE %.3f; wrong-way cues %.1f s; range used: pitch %.0f%%, roll %.0f%%, "
                          "yaw %.0f%%, height %.0f%%",
                          e.MeanNrmse(), e.FalseCueSeconds(), 100 * e.RangeShare[eval::PitchAxis],
                          100 * e.RangeShare[eval::RollAxis], 100 * e.RangeShare[eval::YawAxis],
                          100 * e.RangeShare[eval::HeightAxis]));
    for (const std::string& hint : tuningHints(e, profile.profile)) print("  hint: " + hint);
}

} // namespace

int tune(const TelemetryFile& telemetry, const NamedProfile& profile, const TuneSetup& setup) {
    const KarvelSeat::SeatModel& seat = seatNamed(setup.model);
    KarvelCueing::MotionCueing core;
    std::string error;
    if (!core.SetProfile(profile.profile, &error)) throw UsageError("profile " + profile.name + ": " + error);
    core.SetHome(eval::HomeOf(seat));

    const std::string name = stem(setup.telemetryPath);
    const std::filesystem::path reportFile =
        std::filesystem::u8path(setup.outDir) / std::filesystem::u8path(name + "-" + stem(profile.name) + ".html");
    const std::string reportPath = reportFile.u8string();
    std::ofstream report(reportFile, std::ios::binary | std::ios::trunc);
    if (!report) throw UsageError("cannot write the report " + reportPath + ": " + std::strerror(errno));

    const eval::Ride ride = rideOf(telemetry, setup.rateHz, name);
    eval::Evaluation evaluation;
    try {
        using Clock = std::chrono::steady_clock;
        const Clock::time_point start = Clock::now();
        Progress progress("tune", terminal::isTerminal(terminal::Stream::Error), 0.5);
        constexpr std::uint64_t kSteps = 1000;
        evaluation = eval::Evaluate(ride, eval::CueWith(core), eval::GeometryFor(profile.profile, seat),
                                    [&](double share) {
                                        if (interrupted()) throw Interrupted{};
                                        const auto done = static_cast<std::uint64_t>(share * kSteps);
                                        const double elapsed = std::chrono::duration<double>(Clock::now() - start).count();
                                        if (progress.due(elapsed, done >= kSteps))
                                            progress.show({done, kSteps, elapsed, -1, "cued and judged"});
                                    });
    } catch (const Interrupted&) {
        report.close();
        std::error_code ignored;
        std::filesystem::remove(reportFile, ignored);
        console::printLine("karvel: interrupted; no report written");
        return 130;
    }

    const TuneSubject subject{setup.telemetryPath, profile.name, profile.profile, seat.Name, seat.StrokeMetres()};
    report << renderTuneReport(subject, evaluation);
    report.close();
    if (!report) throw UsageError("cannot write the report " + reportPath + ": the write failed");
    printSummary(name, ride, profile, seat, evaluation);
    console::printResult("tune: report written to " + reportPath);
    return 0;
}

} // namespace karvel::cli
