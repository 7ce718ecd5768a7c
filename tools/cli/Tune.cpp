#include "Tune.h"

#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fstream>

#include "Console.h"
#include "Interrupt.h"
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

// The file's name without its folders and its last extension.
std::string stem(const std::string& path) {
    const std::size_t slash = path.find_last_of('/');
    std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
    const std::size_t dot = name.find_last_of('.');
    return dot == std::string::npos || dot == 0 ? name : name.substr(0, dot);
}

void showProgress(double share) {
    if (interrupted()) throw Interrupted{};
    constexpr int kWidth = 40;
    const int filled = static_cast<int>(kWidth * share);
    char text[96];
    std::snprintf(text, sizeof text, "] %3d%% cued and judged", static_cast<int>(100 * share));
    console::showBar("[" + std::string(filled, '#') + std::string(kWidth - filled, '.') + text);
}

void printSummary(const std::string& name, const eval::Ride& ride, const NamedProfile& profile,
                  const KarvelSeat::SeatModel& seat, const eval::Evaluation& e) {
    std::printf("tune: %s, %.2f s at %.0f Hz, profile %s, seat %s\n", name.c_str(), ride.Seconds(), 1 / ride.Dt,
                profile.name.c_str(), seat.Name);
    std::printf("  %-7s %7s %12s %8s %12s %13s %10s\n", "channel", "nRMSE", "correlation", "lag", "wrong-way",
                "vehicle RMS", "seat RMS");
    for (int c = 0; c < eval::ChannelCount; ++c) {
        const eval::ChannelMeasures& m = e.Measures[c];
        char lag[16] = "-";
        if (m.HasLag) std::snprintf(lag, sizeof lag, "%.2f s", m.LagSeconds);
        std::printf("  %-7s %7.3f %12.2f %8s %10.1f s %13.3g %10.3g %s\n", eval::ChannelName(c), m.Nrmse,
                    m.Correlation, lag, m.FalseCueSeconds, m.VehicleRms, m.SeatRms, eval::ChannelUnit(c));
    }
    std::printf("  mean nRMSE %.3f; wrong-way cues %.1f s; range used: pitch %.0f%%, roll %.0f%%, yaw %.0f%%, "
                "height %.0f%%\n",
                e.MeanNrmse(), e.FalseCueSeconds(), 100 * e.RangeShare[eval::PitchAxis],
                100 * e.RangeShare[eval::RollAxis], 100 * e.RangeShare[eval::YawAxis],
                100 * e.RangeShare[eval::HeightAxis]);
    for (const std::string& hint : tuningHints(e, profile.profile)) std::printf("  hint: %s\n", hint.c_str());
}

} // namespace

int tune(const TelemetryFile& telemetry, const NamedProfile& profile, const TuneSetup& setup) {
    const KarvelSeat::SeatModel& seat = seatNamed(setup.model);
    KarvelCueing::MotionCueing core;
    std::string error;
    if (!core.SetProfile(profile.profile, &error)) throw UsageError("profile " + profile.name + ": " + error);
    core.SetHome(eval::HomeOf(seat));

    const std::string name = stem(setup.telemetryPath);
    const std::string reportPath = setup.outDir + "/" + name + "-" + stem(profile.name) + ".html";
    std::ofstream report(reportPath, std::ios::binary | std::ios::trunc);
    if (!report) throw UsageError("cannot write the report " + reportPath + ": " + std::strerror(errno));

    const eval::Ride ride = rideOf(telemetry, setup.rateHz, name);
    const bool terminal = isatty(STDERR_FILENO) != 0;
    eval::Evaluation evaluation;
    try {
        evaluation = eval::Evaluate(ride, eval::CueWith(core), eval::GeometryFor(profile.profile, seat),
                                    terminal ? showProgress : [](double) {
                                        if (interrupted()) throw Interrupted{};
                                    });
    } catch (const Interrupted&) {
        if (terminal) console::endBar();
        report.close();
        std::remove(reportPath.c_str());
        console::printLine("karvel: interrupted; no report written");
        return 130;
    }
    if (terminal) console::endBar();

    const TuneSubject subject{setup.telemetryPath, profile.name, profile.profile, seat.Name, seat.StrokeMetres()};
    report << renderTuneReport(subject, evaluation);
    report.close();
    if (!report) throw UsageError("cannot write the report " + reportPath + ": the write failed");
    printSummary(name, ride, profile, seat, evaluation);
    std::printf("tune: report written to %s\n", reportPath.c_str());
    return 0;
}

} // namespace karvel::cli
