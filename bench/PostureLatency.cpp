// 2. Posture call to datagram received on loopback, at 1 kHz, and the highest
// rate that arrives; each side by side with a raw sendto loop of the same
// 50-byte datagrams from a UDP socket of our own, in the same run.
#include <benchmark/benchmark.h>

#include <array>
#include <thread>
#include <vector>

#include "support/BenchMode.h"
#include "support/DatagramDrain.h"
#include "support/LoopbackSocket.h"
#include "support/SeatLibrary.h"

namespace karvel::bench {
namespace {

void ignoreLine(int, const char*) {}

// A 50-byte datagram like a motion frame, for the raw loop.
std::array<std::uint8_t, 50> rawFrame(long k) {
    std::array<std::uint8_t, 50> frame{};
    for (std::size_t i = 0; i < frame.size(); ++i) frame[i] = static_cast<std::uint8_t>(i + static_cast<std::size_t>(k));
    return frame;
}

// Sends one datagram the given way; `k` varies the content.
class Sender {
public:
    explicit Sender(bool library, int targetPort) : library_(library) {
        target_ = raw_.endpoint();
        target_.port = static_cast<std::uint16_t>(targetPort);
        if (library_) {
            seatLibrary().SetLogCallback(&ignoreLine);
            ok_ = configureSeat(targetPort);
        }
    }
    ~Sender() {
        if (library_) seatLibrary().Release();
    }
    Sender(const Sender&) = delete;
    Sender& operator=(const Sender&) = delete;

    bool ok() const { return ok_; }
    void send(long k) {
        if (library_) {
            const Posture p = postureAt(k);
            seatLibrary().SendSeatPosture(p.pitch, p.roll, p.yaw, p.height);
        } else {
            const std::array<std::uint8_t, 50> frame = rawFrame(k);
            net::sendTo(raw_.handle(), frame.data(), frame.size(), target_);
        }
    }

private:
    const bool library_;
    LoopbackSocket raw_;
    net::Ipv4Endpoint target_{};
    bool ok_ = true;
};

void latencyAt1kHz(benchmark::State& state, bool library) {
    LoopbackSocket receiver;
    Sender sender(library, receiver.port());
    if (!sender.ok()) {
        state.SkipWithError("seat configuration failed");
        return;
    }
    std::vector<double> samples;
    samples.reserve(static_cast<std::size_t>(state.max_iterations));
    long k = 0;
    long missing = 0;
    Clock::time_point next = Clock::now();
    std::uint8_t buffer[128];
    for (auto _ : state) {
        next += std::chrono::milliseconds(1);
        std::this_thread::sleep_until(next);
        const Clock::time_point start = Clock::now();
        sender.send(k++);
        if (net::receiveFrom(receiver.handle(), buffer, sizeof buffer, 1000, nullptr) == 50) {
            samples.push_back(microsecondsBetween(start, Clock::now()));
        } else {
            ++missing;
        }
    }
    reportLatency(state, samples);
    state.counters["missing"] = static_cast<double>(missing);
}

void sustainedRate(benchmark::State& state, bool library) {
    DatagramDrain drain;
    Sender sender(library, drain.port());
    if (!sender.ok()) {
        state.SkipWithError("seat configuration failed");
        return;
    }
    const long count = state.range(0);
    Clock::time_point start;
    for (auto _ : state) {
        start = Clock::now();
        for (long k = 0; k < count; ++k) sender.send(k);
        // Everything that will arrive has arrived once the drain stops hearing; wait a bounded time.
        drain.waitForCount(static_cast<std::uint64_t>(count), 5000);
    }
    const double seconds = microsecondsBetween(start, drain.lastArrival()) / 1e6;
    state.counters["sent"] = static_cast<double>(count);
    state.counters["received"] = static_cast<double>(drain.received());
    state.counters["rate_per_s"] = seconds > 0 ? static_cast<double>(drain.received()) / seconds : 0;
}

} // namespace

void registerPostureLatency(const BenchMode& mode) {
    // One run's p99 swings with the other load on the machine; the table takes the median over runs.
    const long ticks = mode.pick(3000, 300);
    const int repetitions = static_cast<int>(mode.pick(5, 1));
    for (const bool library : {true, false}) {
        benchmark::RegisterBenchmark(library ? "latency_1khz/library" : "latency_1khz/raw_sendto", latencyAt1kHz, library)
            ->Iterations(ticks)
            ->Repetitions(repetitions)
            ->ReportAggregatesOnly(true)
            ->UseRealTime();
    }
    const long burst = mode.pick(200000, 20000);
    benchmark::RegisterBenchmark("sustained_rate/library", sustainedRate, true)->Arg(burst)->Iterations(1)->UseRealTime();
    benchmark::RegisterBenchmark("sustained_rate/raw_sendto", sustainedRate, false)->Arg(burst)->Iterations(1)->UseRealTime();
}

} // namespace karvel::bench
