// 8. The motion runtime: how steadily its frames reach the seat while the game thread hitches, and what one of its
// frames costs. The seat library is loaded by path; a loopback receiver notes when each datagram arrives.
//
// Intervals: the runtime sends at 100 Hz from its own thread while a stand-in game thread posts a sample each
// 60 Hz frame and, every 40 of its frames, hitches: it spins for 150 ms (below the watchdog time: the stream goes
// on). In the same run, a plain sending loop (send a posture, sleep one period, as a timer thread does) is measured
// under the same hitching game thread. Each gives the median, 99th percentile and maximum of the intervals.
//
// Frame cost: one frame of the runtime's motion stream at 100 Hz, ten steps of the cueing core through the envelope
// on a varied drive, without the library call (its cost is item 1).
#include <benchmark/benchmark.h>

#include <atomic>
#include <chrono>
#include <cmath>
#include <functional>
#include <mutex>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "SeatRuntime/SeatRuntime.h"
#include "support/BenchMode.h"
#include "support/SeatLibrary.h"
#include "support/Stats.h"

#include "platform/SocketServices.h"

namespace karvel::bench {
namespace {

constexpr double kFrameSeconds = 0.01;
constexpr double kGameFrameSeconds = 1.0 / 60;
constexpr int kHitchEvery = 40;                        // game frames
constexpr std::chrono::milliseconds kHitch{150};       // below the runtime's 250 ms watchdog

// Notes the arrival time of every datagram on a loopback port, on a thread of its own.
class ArrivalClock {
public:
    ArrivalClock() : socket_(net::openUdpSocket()) {
        if (socket_ == net::kInvalidSocket || !net::bindLoopback(socket_, 0)) throw std::runtime_error("no receiver");
        port_ = net::localPort(socket_);
        arrivals_.reserve(1 << 20);
        thread_ = std::thread([this] { run(); });
    }
    ~ArrivalClock() {
        stop_ = true;
        thread_.join();
        net::closeSocket(socket_);
    }
    ArrivalClock(const ArrivalClock&) = delete;
    ArrivalClock& operator=(const ArrivalClock&) = delete;

    int port() const { return port_; }
    // Intervals between the datagrams that arrived since the last call, in milliseconds.
    std::vector<double> takeIntervalsMs() {
        std::lock_guard<std::mutex> lock(mutex_);
        std::vector<double> intervals;
        for (std::size_t i = 1; i < arrivals_.size(); ++i) {
            intervals.push_back(microsecondsBetween(arrivals_[i - 1], arrivals_[i]) / 1000.0);
        }
        arrivals_.clear();
        return intervals;
    }

private:
    void run() {
        std::uint8_t buffer[256];
        while (!stop_) {
            if (net::receiveFrom(socket_, buffer, sizeof(buffer), 50, nullptr) <= 0) continue;
            const Clock::time_point now = Clock::now();
            std::lock_guard<std::mutex> lock(mutex_);
            arrivals_.push_back(now);
        }
    }

    net::SocketHandle socket_;
    int port_ = 0;
    std::atomic<bool> stop_{false};
    std::mutex mutex_;
    std::vector<Clock::time_point> arrivals_;
    std::thread thread_;
};

KarvelSeat::MotionSample sampleAt(long k) {
    const double t = static_cast<double>(k) * kGameFrameSeconds;
    KarvelSeat::MotionSample sample;
    sample.Kind = KarvelSeat::MotionSample::EKind::Motion;
    sample.Motion.SpecificForce = {3 * std::sin(0.3 * t), 4 * std::sin(0.5 * t + 1),
                                   KarvelCueing::StandardGravity + 1.5 * std::sin(7 * t)};
    sample.Motion.AngularVelocity = {4 * std::sin(2 * t), 2 * std::sin(3 * t), 30 * std::sin(0.4 * t)};
    return sample;
}

// A game thread at 60 Hz that hitches now and then: Frame(k) runs once a game frame, for Seconds.
void runHitchingGame(double seconds, const std::function<void(long)>& frame) {
    const Clock::time_point start = Clock::now();
    Clock::time_point next = start;
    for (long k = 0; microsecondsBetween(start, Clock::now()) < seconds * 1e6; ++k) {
        frame(k);
        if (k % kHitchEvery == kHitchEvery - 1) {
            // The game's own work holds its thread and a core: a level streaming in, a garbage collection.
            const Clock::time_point until = Clock::now() + kHitch;
            while (Clock::now() < until) {
            }
            next = Clock::now();
        }
        next += std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double>(kGameFrameSeconds));
        std::this_thread::sleep_until(next);
    }
}

void reportIntervals(benchmark::State& state, const char* prefix, const std::vector<double>& intervalsMs) {
    const Summary summary = summarize(intervalsMs);
    state.counters[std::string(prefix) + "_p50_ms"] = summary.median;
    state.counters[std::string(prefix) + "_p99_ms"] = summary.p99;
    state.counters[std::string(prefix) + "_max_ms"] = summary.max;
    state.counters[std::string(prefix) + "_frames"] = static_cast<double>(intervalsMs.size() + 1);
}

void ignoreLine(int, const char*) {}

void frameIntervals(benchmark::State& state, double seconds) {
    seatLibrary().SetLogCallback(ignoreLine);
    ArrivalClock seat;
    KarvelSeat::SeatHost host(seatLibrary());
    for (auto _ : state) {
        std::vector<double> runtimeMs, plainMs;
        {
            KarvelSeat::SeatRuntime runtime(host, {});
            const auto configured = runtime.Register([&] {
                KarvelSeat::SeatSetup setup;
                setup.UdpIp = "127.0.0.1";
                setup.UdpPort = seat.port();
                return host.Configure(setup);
            });
            if (!configured->Wait()) {
                state.SkipWithError("the seat could not be configured (UDP port 8410 held?)");
                return;
            }
            runtime.BeginStream(KarvelCueing::RoadVehicleProfile());
            runHitchingGame(seconds, [&](long k) {
                runtime.Heartbeat();
                runtime.PostSample(sampleAt(k));
            });
            runtimeMs = seat.takeIntervalsMs();
            runtime.Unregister();
        }
        seat.takeIntervalsMs();

        // The plain loop, with the same hitching game thread beside it.
        std::atomic<bool> stop{false};
        std::thread plain([&] {
            for (long k = 0; !stop; ++k) {
                const Posture p = postureAt(k);
                host.SendPosture(KarvelSeat::Posture{p.pitch, p.roll, p.yaw, p.height});
                std::this_thread::sleep_for(std::chrono::duration<double>(kFrameSeconds));
            }
        });
        runHitchingGame(seconds, [](long) {});
        stop = true;
        plain.join();
        plainMs = seat.takeIntervalsMs();
        host.Shutdown();

        reportIntervals(state, "runtime", runtimeMs);
        reportIntervals(state, "plain", plainMs);
    }
}

void frameCost(benchmark::State& state) {
    KarvelSeat::MotionStream stream;
    stream.SetHome(KarvelSeat::OrvidaSeat);
    stream.Begin(KarvelSeat::OrvidaSeat.Home);
    std::vector<double> samples;
    long k = 0;
    for (auto _ : state) {
        stream.Take(sampleAt(k++));
        const Clock::time_point start = Clock::now();
        benchmark::DoNotOptimize(stream.Frame());
        samples.push_back(microsecondsBetween(start, Clock::now()));
    }
    reportLatency(state, samples);
}

} // namespace

void registerRuntimeBenchmarks(const BenchMode& mode) {
    const double seconds = mode.pick(30, 3);
    benchmark::RegisterBenchmark("runtime/frame_interval_100hz", [seconds](benchmark::State& state) {
        frameIntervals(state, seconds);
    })->Iterations(1)->Unit(benchmark::kMillisecond);
    benchmark::RegisterBenchmark("runtime/frame_cost_100hz", frameCost)->Iterations(mode.pick(200000, 2000));
}

} // namespace karvel::bench
