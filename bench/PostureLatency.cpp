// 2. Posture call to datagram received on loopback, at 1 kHz, and the highest
// rate that arrives; each side by side with a raw sendto loop of the same
// 50-byte datagrams from a UDP socket of our own, in the same run. The 1 kHz
// latency is also taken for the plainest hand-off to a sending thread, which
// is what a posture call's one wake-up of the worker costs at the least: the
// two take turns tick by tick, so the machine's other load falls on both
// alike. Percentiles are taken over all samples of one long run.
#include <benchmark/benchmark.h>

#include <array>
#include <condition_variable>
#include <deque>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <utility>
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

enum class Path {
    Library,    // Ridova_SendSeatPosture: frame built by the caller, sent by the library's worker
    RawSendto,  // sendto on the caller's thread
    RawHandoff, // the datagram handed to a thread of our own that sends it: the least a worker costs
};

// A sending thread of the plainest kind: a queue, a condition variable, one wake-up per datagram.
class HandoffWorker {
public:
    HandoffWorker(net::SocketHandle socket, net::Ipv4Endpoint target)
        : socket_(socket), target_(target), thread_([this] { run(); }) {}
    ~HandoffWorker() {
        {
            std::lock_guard<std::mutex> lock(mutex_);
            stop_ = true;
        }
        wake_.notify_one();
        thread_.join();
    }
    HandoffWorker(const HandoffWorker&) = delete;
    HandoffWorker& operator=(const HandoffWorker&) = delete;

    void send(const std::array<std::uint8_t, 50>& frame) {
        {
            std::lock_guard<std::mutex> lock(mutex_);
            queue_.push_back(frame);
        }
        wake_.notify_one();
    }

private:
    void run() {
        std::unique_lock<std::mutex> lock(mutex_);
        for (;;) {
            wake_.wait(lock, [this] { return stop_ || !queue_.empty(); });
            if (queue_.empty()) return;
            const std::array<std::uint8_t, 50> frame = queue_.front();
            queue_.pop_front();
            lock.unlock();
            net::sendTo(socket_, frame.data(), frame.size(), target_);
            lock.lock();
        }
    }

    const net::SocketHandle socket_;
    const net::Ipv4Endpoint target_;
    std::mutex mutex_;
    std::condition_variable wake_;
    std::deque<std::array<std::uint8_t, 50>> queue_;
    bool stop_ = false;
    std::thread thread_; // last: starts once the rest is in place
};

// Sends one datagram the given way; `k` varies the content.
class Sender {
public:
    explicit Sender(Path path, int targetPort) : path_(path) {
        target_ = raw_.endpoint();
        target_.port = static_cast<std::uint16_t>(targetPort);
        if (path_ == Path::Library) {
            seatLibrary().SetLogCallback(&ignoreLine);
            ok_ = configureSeat(targetPort);
        } else if (path_ == Path::RawHandoff) {
            handoff_ = std::make_unique<HandoffWorker>(raw_.handle(), target_);
        }
    }
    ~Sender() {
        if (path_ == Path::Library) seatLibrary().Release();
    }
    Sender(const Sender&) = delete;
    Sender& operator=(const Sender&) = delete;

    bool ok() const { return ok_; }
    void send(long k) {
        if (path_ == Path::Library) {
            const Posture p = postureAt(k);
            seatLibrary().SendSeatPosture(p.pitch, p.roll, p.yaw, p.height);
        } else if (path_ == Path::RawHandoff) {
            handoff_->send(rawFrame(k));
        } else {
            const std::array<std::uint8_t, 50> frame = rawFrame(k);
            net::sendTo(raw_.handle(), frame.data(), frame.size(), target_);
        }
    }

private:
    const Path path_;
    LoopbackSocket raw_;
    net::Ipv4Endpoint target_{};
    std::unique_ptr<HandoffWorker> handoff_; // destroyed before the socket it sends on
    bool ok_ = true;
};

void latencyAt1kHz(benchmark::State& state, Path path) {
    LoopbackSocket receiver;
    Sender sender(path, receiver.port());
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

// The library and the raw hand-off in turns, each tick one datagram of each.
void latencySideBySide(benchmark::State& state) {
    LoopbackSocket libraryReceiver;
    LoopbackSocket handoffReceiver;
    Sender library(Path::Library, libraryReceiver.port());
    Sender handoff(Path::RawHandoff, handoffReceiver.port());
    if (!library.ok()) {
        state.SkipWithError("seat configuration failed");
        return;
    }
    struct Side {
        Sender& sender;
        LoopbackSocket& receiver;
        std::vector<double> samples;
        long missing = 0;
    };
    Side sides[] = {{library, libraryReceiver, {}, 0}, {handoff, handoffReceiver, {}, 0}};
    for (Side& side : sides) side.samples.reserve(static_cast<std::size_t>(state.max_iterations));
    long k = 0;
    Clock::time_point next = Clock::now();
    std::uint8_t buffer[128];
    for (auto _ : state) {
        for (Side& side : sides) {
            next += std::chrono::microseconds(500);
            std::this_thread::sleep_until(next);
            const Clock::time_point start = Clock::now();
            side.sender.send(k);
            if (net::receiveFrom(side.receiver.handle(), buffer, sizeof buffer, 1000, nullptr) == 50) {
                side.samples.push_back(microsecondsBetween(start, Clock::now()));
            } else {
                ++side.missing;
            }
        }
        ++k;
    }
    const char* names[] = {"library", "handoff"};
    for (int i = 0; i < 2; ++i) {
        const Summary summary = summarize(sides[i].samples);
        const std::string name = names[i];
        state.counters[name + "_median_us"] = summary.median;
        state.counters[name + "_p99_us"] = summary.p99;
        state.counters[name + "_max_us"] = summary.max;
        state.counters[name + "_samples"] = static_cast<double>(sides[i].samples.size());
        state.counters[name + "_missing"] = static_cast<double>(sides[i].missing);
    }
}

void sustainedRate(benchmark::State& state, Path path) {
    DatagramDrain drain;
    Sender sender(path, drain.port());
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
    // One long run, its percentiles over all samples: a median of per-run p99s would hide the worst runs.
    const long ticks = mode.pick(10000, 300);
    benchmark::RegisterBenchmark("latency_1khz/raw_sendto", latencyAt1kHz, Path::RawSendto)
        ->Iterations(ticks)
        ->UseRealTime();
    benchmark::RegisterBenchmark("latency_1khz/side_by_side", latencySideBySide)->Iterations(ticks)->UseRealTime();
    const long burst = mode.pick(200000, 20000);
    benchmark::RegisterBenchmark("sustained_rate/library", sustainedRate, Path::Library)->Arg(burst)->Iterations(1)->UseRealTime();
    benchmark::RegisterBenchmark("sustained_rate/raw_sendto", sustainedRate, Path::RawSendto)->Arg(burst)->Iterations(1)->UseRealTime();
}

} // namespace karvel::bench
