// 6. What one step of the motion cueing core costs the game thread: a drive
// with braking, cornering, bumps and turns, cued at 60 Hz, and postures the
// game chose itself through the same envelope, and postures at the corners of
// the ranges, where the platform's limits act. Steps are timed in batches
// (a single step is too short for the clock) and reported per step.
#include <benchmark/benchmark.h>

#include <cmath>
#include <vector>

#include "MotionCueing.h"
#include "support/BenchMode.h"
#include "support/Stats.h"

namespace karvel::bench {
namespace {

constexpr int kBatch = 64;
constexpr double kDt = 1.0 / 60;

KarvelCueing::VehicleMotion driveAt(long k) {
    const double t = static_cast<double>(k) * kDt;
    KarvelCueing::VehicleMotion m;
    m.SpecificForce = {4 * std::sin(0.3 * t), 6 * std::sin(0.5 * t + 1), KarvelCueing::StandardGravity + 2 * std::sin(7 * t)};
    m.AngularVelocity = {5 * std::sin(2 * t), 3 * std::sin(3 * t), 40 * std::sin(0.4 * t)};
    return m;
}

void cueStep(benchmark::State& state) {
    std::vector<KarvelCueing::VehicleMotion> drive(4096);
    for (std::size_t i = 0; i < drive.size(); ++i) drive[i] = driveAt(static_cast<long>(i));
    KarvelCueing::MotionCueing core;
    std::vector<double> samples;
    std::size_t k = 0;
    for (auto _ : state) {
        const Clock::time_point start = Clock::now();
        for (int i = 0; i < kBatch; ++i) {
            benchmark::DoNotOptimize(core.Step(kDt, drive[k]));
            k = (k + 1) % drive.size();
        }
        samples.push_back(microsecondsBetween(start, Clock::now()) / kBatch);
    }
    reportLatency(state, samples);
}

void postureStep(benchmark::State& state) {
    KarvelCueing::MotionCueing core;
    std::vector<double> samples;
    long k = 0;
    for (auto _ : state) {
        const Clock::time_point start = Clock::now();
        for (int i = 0; i < kBatch; ++i, ++k) {
            KarvelCueing::SeatPose requested;
            requested.Pitch = 10 * std::sin(0.01 * static_cast<double>(k));
            requested.Yaw = std::fmod(0.5 * static_cast<double>(k), 360.0) - 180; // round and round
            benchmark::DoNotOptimize(core.StepPosture(kDt, requested));
        }
        samples.push_back(microsecondsBetween(start, Clock::now()) / kBatch);
    }
    reportLatency(state, samples);
}

// Postures at the corners of the ranges, a new one every half second: the
// envelope holds the seat clear of the ends of its stroke and its cranks
// within the drive's limits, stepping at 100 Hz as a motion runtime does.
void limitsStep(benchmark::State& state) {
    KarvelCueing::MotionCueing core;
    core.SetSeatModel(KarvelSeat::TamselSeat);
    std::vector<double> samples;
    long k = 0;
    for (auto _ : state) {
        const Clock::time_point start = Clock::now();
        for (int i = 0; i < kBatch; ++i, ++k) {
            const long corner = k / 50;
            KarvelCueing::SeatPose requested;
            requested.Pitch = corner % 2 ? 15 : -15;
            requested.Roll = corner % 3 ? 15 : -15;
            requested.Height = corner % 5 < 2 ? 1 : 0;
            benchmark::DoNotOptimize(core.StepPosture(0.01, requested));
        }
        samples.push_back(microsecondsBetween(start, Clock::now()) / kBatch);
    }
    reportLatency(state, samples);
}

} // namespace

void registerBenchmarks(const BenchMode& mode) {
    const long batches = mode.pick(20000, 500);
    benchmark::RegisterBenchmark("cueing/step", cueStep)->Iterations(batches);
    benchmark::RegisterBenchmark("cueing/step_posture", postureStep)->Iterations(batches);
    benchmark::RegisterBenchmark("cueing/step_limits", limitsStep)->Iterations(batches);
}

} // namespace karvel::bench
