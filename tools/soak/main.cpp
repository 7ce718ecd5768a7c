// karvel-soak LIBRARY SECONDS [SEED]: the library loaded by path streams
// postures at 1 kHz to a loopback receiver of our own and runs an effect job
// every second against a relay board and a fan speed controller that fail at
// random; at the end a short report, and a non-zero exit status when a frame
// was lost, a job vanished, a call hung or memory grew.
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <random>
#include <string>
#include <thread>

#include "FaultyDevices.h"
#include "JobLog.h"
#include "KarvelLibrary.h"
#include "MotionCheck.h"
#include "ModbusTcpClient.h"
#include "Watchdog.h"
#include "support/ProcessStats.h"

using namespace karvel::soak;
using Clock = std::chrono::steady_clock;
using std::chrono::milliseconds;

namespace {

// One request's worst case: a connect, a send and a receive time-out, a
// reconnect, and the same again for the retry.
constexpr milliseconds kRequestBound{2 * (karvel::ModbusTcpClient::kConnectTimeoutMs +
                                          2 * karvel::ModbusTcpClient::kExchangeTimeoutMs)};
// Calls that only queue (postures, effects) get scheduler slack; release waits for one request.
constexpr milliseconds kQueueCallBound{2000};
constexpr milliseconds kReleaseBound = 2 * kRequestBound;
// A request on a device that answers late holds the worker a little longer than its time-outs.
constexpr milliseconds kJobProgressBound = 3 * kRequestBound;
constexpr double kMemoryToleranceMiB = 4.0;

double residentMiB() { return static_cast<double>(karvel::test::residentBytes()) / (1024.0 * 1024.0); }

// One effect call a second, each one job, through all four effects in turn.
void issueEffect(karvel::host::KarvelLibrary& lib, std::uint64_t n) {
    const int level = static_cast<int>(n / 4 % 4);
    switch (n % 4) {
    case 0: lib.SetWindSpeed(level); break;
    case 1: lib.SetWaterMist(level); break;
    case 2: lib.SetHeater(level % 2); break;
    default: lib.SetScent(level % 3); break;
    }
}

// The host's one thread of calls: postures at 1 kHz, an effect in the middle
// of every thousand; returns the frames sent.
std::uint64_t stream(karvel::host::KarvelLibrary& lib, Watchdog& watchdog, Clock::duration length,
                     const std::function<void()>& atWarmUpEnd, std::atomic<std::uint64_t>& jobsIssued) {
    std::uint64_t framesSent = 0;
    const Clock::time_point start = Clock::now();
    const Clock::time_point warmUpEnd = start + std::min<Clock::duration>(std::chrono::seconds(10), length / 4);
    bool warm = false;
    Clock::time_point next = start;
    while (Clock::now() - start < length) {
        watchdog.guard("Ridova_SendPostureCommand", kQueueCallBound, [&] { MotionCheck::sendFrame(lib, framesSent); });
        if (framesSent++ % 1000 == 500) {
            watchdog.guard("an effect call", kQueueCallBound, [&] { issueEffect(lib, jobsIssued.load()); });
            ++jobsIssued;
        }
        if (!warm && Clock::now() >= warmUpEnd) {
            warm = true;
            atWarmUpEnd();
        }
        next += milliseconds(1);
        const Clock::time_point now = Clock::now();
        if (now - next > milliseconds(50)) next = now; // fell behind (a busy machine): no burst to catch up
        std::this_thread::sleep_until(next);
    }
    return framesSent;
}

template <typename Condition>
bool waitFor(Condition condition, milliseconds deadline) {
    const Clock::time_point end = Clock::now() + deadline;
    while (!condition()) {
        if (Clock::now() > end) return false;
        std::this_thread::sleep_for(milliseconds(50));
    }
    return true;
}

} // namespace

int main(int argc, char** argv) {
    if (argc < 3) {
        std::fprintf(stderr, "usage: %s LIBRARY SECONDS [SEED]\n", argv[0]);
        return 2;
    }
    const std::string path = argv[1];
    const int seconds = std::atoi(argv[2]);
    const auto seed = argc > 3 ? static_cast<std::uint32_t>(std::strtoul(argv[3], nullptr, 10))
                               : static_cast<std::uint32_t>(std::random_device{}());
    karvel::host::KarvelLibrary lib(path);
    if (!lib.bound()) {
        std::fprintf(stderr, "cannot use %s: %s\n", path.c_str(), lib.error().c_str());
        return 2;
    }
    lib.SetLogCallback(&JobLog::callback);
    JobLog& log = JobLog::instance();

    MotionCheck motion;
    FaultyDevices devices(seed);
    std::atomic<std::uint64_t> jobsIssued{0};
    Watchdog watchdog(kJobProgressBound, [&] {
        return Watchdog::JobProgress{jobsIssued.load(), log.succeededRequests() + log.failedRequests()};
    });

    bool configured = false;
    watchdog.guard("Ridova_SetConfiguration", kReleaseBound, [&] {
        configured = lib.SetConfiguration(1, "127.0.0.1", motion.port(), 1, "127.0.0.1", devices.relayPort(),
                                          "127.0.0.1", devices.fanPort());
    });
    std::string why;
    if (!configured || log.otherErrors() != 0) why = "configuration failed: " + log.firstOtherError();
    if (why.empty() && !motion.calibrate(lib, why)) why = "calibration failed: " + why;
    if (!why.empty()) {
        std::printf("RESULT: FAIL (%s)\n", why.c_str());
        return 1;
    }
    motion.start();
    devices.startFaults();
    double rssStart = 0;
    const std::uint64_t framesSent = stream(lib, watchdog, std::chrono::seconds(seconds),
                                            [&] { rssStart = residentMiB(); }, jobsIssued);
    const std::uint64_t jobs = jobsIssued.load();
    devices.stopFaults();
    // Let the jobs queued behind the last faults start, and the last frames arrive.
    waitFor([&] { return log.startedRequests() >= jobs; }, 10 * kRequestBound);
    waitFor([&] { return motion.counts().unique + log.framesGivenWay() >= framesSent; }, milliseconds(5000));
    const double rssEnd = residentMiB();
    watchdog.guard("Ridova_Release", kReleaseBound, [&] { lib.Release(); });
    log.workerStopped();
    motion.stop();

    const MotionCounts frames = motion.counts();
    // Frames the library reported as given way to newer ones are its policy, not a loss.
    const std::uint64_t givenWay = log.framesGivenWay();
    const std::uint64_t lost = framesSent > frames.unique + givenWay ? framesSent - frames.unique - givenWay : 0;
    const std::uint64_t started = log.startedRequests();
    const std::uint64_t succeeded = log.succeededRequests();
    const std::uint64_t failed = log.failedRequests();
    const std::uint64_t jobsLost = jobs > started ? jobs - started : 0;
    const double growth = rssEnd - rssStart;

    std::printf("Karvel soak: %d s, seed %u\n", seconds, seed);
    std::printf("  hangs            none (longest call %.1f ms; bounds %lld ms for queuing calls, %lld ms for release)\n",
                static_cast<double>(watchdog.longestCall().count()) / 1000.0,
                static_cast<long long>(kQueueCallBound.count()), static_cast<long long>(kReleaseBound.count()));
    std::printf("  motion frames    sent %llu, received %llu, given way %llu, lost %llu, reordered %llu, repeated %llu, "
                "malformed %llu\n",
                static_cast<unsigned long long>(framesSent), static_cast<unsigned long long>(frames.received),
                static_cast<unsigned long long>(givenWay), static_cast<unsigned long long>(lost), static_cast<unsigned long long>(frames.reordered),
                static_cast<unsigned long long>(frames.repeated), static_cast<unsigned long long>(frames.malformed));
    std::printf("  effect jobs      issued %llu, succeeded %llu, failed %llu (with an ERROR line), lost %llu\n",
                static_cast<unsigned long long>(jobs), static_cast<unsigned long long>(succeeded),
                static_cast<unsigned long long>(failed), static_cast<unsigned long long>(jobsLost));
    std::printf("  device faults    %s\n", devices.faultSummary().c_str());
    std::printf("  other errors     %llu%s%s\n", static_cast<unsigned long long>(log.otherErrors()),
                log.otherErrors() ? ", first: " : "", log.firstOtherError().c_str());
    std::printf("  memory (RSS)     %.1f MiB after warm-up, %.1f MiB at the end (%+.1f MiB, limit +%.0f MiB)\n", rssStart,
                rssEnd, growth, kMemoryToleranceMiB);

    std::string failures;
    const auto fail = [&failures](bool failedCheck, const char* what) {
        if (failedCheck) failures += failures.empty() ? what : std::string(", ") + what;
    };
    fail(lost != 0 || frames.reordered != 0 || frames.repeated != 0 || frames.malformed != 0, "motion frames");
    fail(jobsLost != 0 || started != jobs || succeeded + failed != started, "effect jobs");
    fail(log.otherErrors() != 0, "other errors");
    fail(growth > kMemoryToleranceMiB, "memory growth");
    std::printf("RESULT: %s%s%s\n", failures.empty() ? "PASS" : "FAIL (", failures.c_str(), failures.empty() ? "" : ")");
    return failures.empty() ? 0 : 1;
}
