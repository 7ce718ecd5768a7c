// What `karvel cue` sends, judged as the virtual seat judges it, without the
// wait: every preset cues the example telemetry and a crash on either seat
// model, the library turns each posture into its frame's pulse targets, the
// virtual seat decodes them, and its rate watch flags nothing. (The same
// chain in real time, through the sockets, is in CueCliTest.)
#include <gtest/gtest.h>

#include <string>

#include "CrashRide.h"
#include "MotionCueing.h"
#include "RateWatch.h"
#include "SeatAlgorithm.h"
#include "SeatInverse.h"
#include "TelemetryFile.h"

namespace karvel::tools::test {
namespace {

constexpr double kRate = 100; // karvel cue's default frames per second

KarvelCueing::VehicleMotion motionOf(const cli::TelemetrySample& sample) {
    const auto& f = sample.force;
    const auto& w = sample.rates;
    return {{f[0], f[1], f[2]}, {w[0], w[1], w[2]}};
}

// Cues Motion(t) for Seconds at kRate and parks, as karvel cue does; the
// frames decoded and watched with the presets' rate limits.
template <typename Motion>
sim::RateReport cueAtTheSeat(const KarvelCueing::CueingProfile& profile, const KarvelSeat::SeatModel& model,
                             double seconds, Motion motion) {
    KarvelCueing::MotionCueing cueing(profile);
    cueing.SetSeatModel(model);
    sim::RateWatch watch(sim::presetRateLimits());
    std::uint64_t frame = 0;
    auto send = [&](const KarvelCueing::SeatPose& pose) {
        const karvel::PulseTargets pulses = karvel::SeatAlgorithm::postureTargets(
            static_cast<float>(pose.Pitch), static_cast<float>(pose.Roll), static_cast<float>(pose.Yaw),
            static_cast<float>(pose.Height), model.Code);
        ++frame;
        watch.add(frame, sim::invertTargets(model, {pulses.x, pulses.y, pulses.z, pulses.u}),
                  static_cast<double>(frame) / kRate);
    };
    for (double t = 0; t <= seconds; t += 1 / kRate) send(cueing.Step(1 / kRate, motion(t)));
    cueing.Park();
    while (!cueing.IsParked()) send(cueing.StepPark(1 / kRate));
    return watch.report();
}

} // namespace

TEST(CuedRates, EveryPresetCuesTheExamplesAndACrashWithoutARateFlag) {
    for (const std::string& name : KarvelCueing::PresetProfileNames()) {
        const KarvelCueing::CueingProfile& profile = *KarvelCueing::FindPresetProfile(name);
        for (const KarvelSeat::SeatModel* model : KarvelSeat::SeatModels) {
            for (const char* example : {"drive-telemetry.csv", "flight-telemetry.csv"}) {
                const cli::TelemetryFile file = cli::loadTelemetryFile(std::string(KARVEL_MOTION_DIR) + "/" + example);
                const double start = file.samples.front().time;
                const sim::RateReport report = cueAtTheSeat(profile, *model, file.duration(), [&](double t) {
                    return motionOf(cli::telemetryAt(file, start + t));
                });
                EXPECT_EQ(report.flagged, 0u) << name << ", " << model->Name << ", " << example << ": " << report.lastFlag;
            }
            const sim::RateReport crash = cueAtTheSeat(profile, *model, KarvelCueingTest::kCrashRideSeconds,
                                                       KarvelCueingTest::CrashRideAt);
            EXPECT_EQ(crash.flagged, 0u) << name << ", " << model->Name << ", crash: " << crash.lastFlag;
            EXPECT_GT(crash.peak.roll, 5) << "the crash moved the seat";
        }
    }
}

} // namespace karvel::tools::test
