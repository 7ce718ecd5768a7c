// 1. What a posture call costs the caller (the game thread), with a log
// callback that does nothing and with one that copies each line into a
// std::string as the engine plugin does, while a loopback receiver drains.
#include <benchmark/benchmark.h>

#include <string>
#include <vector>

#include "support/BenchMode.h"
#include "support/DatagramDrain.h"
#include "support/SeatLibrary.h"

namespace karvel::bench {
namespace {

void ignoreLine(int, const char*) {}

void copyLine(int level, const char* message) {
    std::string line(message);
    benchmark::DoNotOptimize(level);
    benchmark::DoNotOptimize(line.data());
}

void callerCost(benchmark::State& state, LogCallback callback) {
    host::KarvelLibrary& library = seatLibrary();
    DatagramDrain drain;
    library.SetLogCallback(&ignoreLine);
    if (!configureSeat(drain.port())) {
        state.SkipWithError("seat configuration failed");
        return;
    }
    library.SetLogCallback(callback);
    std::vector<double> samples;
    samples.reserve(static_cast<std::size_t>(state.max_iterations));
    long k = 0;
    for (auto _ : state) {
        const Posture p = postureAt(k++);
        const Clock::time_point start = Clock::now();
        library.SendSeatPosture(p.pitch, p.roll, p.yaw, p.height);
        samples.push_back(microsecondsBetween(start, Clock::now()));
    }
    // The release sends what is still queued; a caller this fast has the
    // oldest frames give way to newer ones, which are counted, not an error.
    library.Release();
    drain.waitForCount(static_cast<std::uint64_t>(k), 500);
    library.SetLogCallback(&ignoreLine);
    reportLatency(state, samples);
    state.counters["given_way"] = static_cast<double>(k) - static_cast<double>(drain.received());
    if (drain.received() == 0) state.SkipWithError("no datagram arrived");
}

} // namespace

void registerCallerCost(const BenchMode& mode) {
    const long calls = mode.pick(200000, 5000);
    benchmark::RegisterBenchmark("caller_cost/noop_callback", callerCost, &ignoreLine)->Iterations(calls);
    benchmark::RegisterBenchmark("caller_cost/copying_callback", callerCost, &copyLine)->Iterations(calls);
}

} // namespace karvel::bench
