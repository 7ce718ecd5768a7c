// 3. Frames lost or reordered while 10,000 postures a second are streamed,
// the memory the process holds before and after many postures sent as fast
// as the caller can, and how soon after a flat-out caller's last call its
// frame leaves.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <string>
#include <thread>
#include <vector>

#include "support/BenchMode.h"
#include "support/DatagramDrain.h"
#include "support/LoopbackSocket.h"
#include "support/ProcessStats.h"
#include "support/SeatLibrary.h"
#include "support/UdpReceiver.h"

namespace karvel::bench {
namespace {

using test::residentBytes;

void ignoreLine(int, const char*) {}

// Sends each posture of the cycle once, waiting for its frame, so that the
// stream's frames can be told apart and put in order.
bool calibrate(FrameIndex& index) {
    LoopbackSocket receiver;
    if (!configureSeat(receiver.port())) return false;
    std::uint8_t buffer[128];
    for (int k = 0; k < kPostureCycle; ++k) {
        const Posture p = postureAt(k);
        seatLibrary().SendSeatPosture(p.pitch, p.roll, p.yaw, p.height);
        const long size = net::receiveFrom(receiver.handle(), buffer, sizeof buffer, 1000, nullptr);
        if (size <= 0) return false;
        index.emplace(std::string(reinterpret_cast<const char*>(buffer), static_cast<std::size_t>(size)), k);
    }
    seatLibrary().Release();
    return static_cast<int>(index.size()) == kPostureCycle;
}

void stream10k(benchmark::State& state) {
    seatLibrary().SetLogCallback(&ignoreLine);
    FrameIndex index;
    if (!calibrate(index)) {
        state.SkipWithError("the posture cycle does not give distinct frames");
        return;
    }
    DatagramDrain drain(&index);
    if (!configureSeat(drain.port())) {
        state.SkipWithError("seat configuration failed");
        return;
    }
    const long seconds = state.range(0);
    long sent = 0;
    for (auto _ : state) {
        // One posture every 100 µs, not bursts of ten a millisecond: a burst
        // longer than the queue would have its oldest frames give way.
        Clock::time_point next = Clock::now();
        for (long tick = 0; tick < seconds * 10000; ++tick) {
            const Posture p = postureAt(sent++);
            seatLibrary().SendSeatPosture(p.pitch, p.roll, p.yaw, p.height);
            next += std::chrono::microseconds(100);
            std::this_thread::sleep_until(next);
        }
        drain.waitForCount(static_cast<std::uint64_t>(sent), 5000);
    }
    seatLibrary().Release();
    state.counters["sent"] = static_cast<double>(sent);
    state.counters["received"] = static_cast<double>(drain.received());
    state.counters["lost"] = static_cast<double>(sent) - static_cast<double>(drain.received());
    state.counters["reordered"] = static_cast<double>(drain.outOfOrder());
    state.counters["unknown"] = static_cast<double>(drain.unknown());
}

void residentMemory(benchmark::State& state) {
    seatLibrary().SetLogCallback(&ignoreLine);
    DatagramDrain drain;
    if (!configureSeat(drain.port())) {
        state.SkipWithError("seat configuration failed");
        return;
    }
    const long total = state.range(0);
    // Unpaced: the caller outruns the worker, as a game loop without a frame
    // limit would; whatever the library keeps for that shows as growth.
    long sent = 0;
    const auto sendFlatOut = [&](long count) {
        for (long i = 0; i < count; ++i) {
            const Posture p = postureAt(sent++);
            seatLibrary().SendSeatPosture(p.pitch, p.roll, p.yaw, p.height);
        }
    };
    sendFlatOut(10000); // warms up the queue, the socket and the allocator before the first reading
    const long before = residentBytes();
    for (auto _ : state) sendFlatOut(total);
    const long after = residentBytes();
    seatLibrary().Release();
    state.counters["postures"] = static_cast<double>(total);
    state.counters["arrived"] = static_cast<double>(drain.received());
    state.counters["rss_before_kib"] = static_cast<double>(before) / 1024.0;
    state.counters["rss_after_kib"] = static_cast<double>(after) / 1024.0;
    state.counters["rss_growth_kib"] = static_cast<double>(after - before) / 1024.0;
}

// Bursts of postures as fast as the caller can, each ended by the home
// frame: the time from that last call's return to its datagram's arrival.
void lastFrameAfterFlatOut(benchmark::State& state) {
    seatLibrary().SetLogCallback(&ignoreLine);
    test::UdpReceiver receiver;
    if (!configureSeat(receiver.port())) {
        state.SkipWithError("seat configuration failed");
        return;
    }
    const std::vector<std::uint8_t> home = test::expectedFrame(0, 0, 0, 0); // the motion-only seat's home
    const long burst = state.range(0);
    std::vector<double> lagsUs;
    long missing = 0;
    for (auto _ : state) {
        Clock::time_point lastCall;
        Clock::time_point arrived;
        bool seen = false;
        std::thread reader([&] {
            while (std::optional<test::Datagram> d = receiver.receive(2000)) {
                if (d->bytes == home) {
                    arrived = Clock::now();
                    seen = true;
                    return;
                }
            }
        });
        for (long k = 0; k < burst; ++k) {
            const Posture p = postureAt(k);
            seatLibrary().SendSeatPosture(p.pitch, p.roll, p.yaw, p.height);
        }
        seatLibrary().ResetPosition();
        lastCall = Clock::now();
        reader.join();
        if (seen) {
            lagsUs.push_back(std::max(0.0, microsecondsBetween(lastCall, arrived)));
        } else {
            ++missing;
        }
    }
    seatLibrary().Release();
    reportLatency(state, lagsUs);
    state.counters["burst"] = static_cast<double>(burst);
    state.counters["missing"] = static_cast<double>(missing);
}

} // namespace

void registerPostureStream(const BenchMode& mode) {
    benchmark::RegisterBenchmark("stream_10k_per_s", stream10k)->Arg(mode.pick(10, 1))->Iterations(1)->UseRealTime();
    benchmark::RegisterBenchmark("resident_memory", residentMemory)
        ->Arg(mode.pick(1000000, 100000))
        ->Iterations(1)
        ->UseRealTime();
    benchmark::RegisterBenchmark("flat_out_last_frame", lastFrameAfterFlatOut)
        ->Arg(mode.pick(100000, 10000))
        ->Iterations(mode.pick(20, 3))
        ->UseRealTime();
}

} // namespace karvel::bench
