// karvel-soak LIBRARY SECONDS [SEED]: the library loaded by path streams
// postures at 1 kHz to a loopback receiver of our own and runs an effect job
// every second against a relay board and a fan speed controller that fail at
// random. Each effect call is judged by what the devices hold afterwards; at
// the end a short report, and a non-zero exit status when a frame was lost,
// an effect call missed without a fault to explain it, a call hung or memory grew.
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <random>
#include <string>
#include <thread>

#include "EffectJudge.h"
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

// One request's worst case, retry and reconnects included.
constexpr milliseconds kRequestBound{karvel::ModbusTcpClient::kRequestTimeoutMs};
// Calls that only queue (postures, effects) get scheduler slack; release waits for one request.
constexpr milliseconds kQueueCallBound{2000};
constexpr milliseconds kReleaseBound = 2 * kRequestBound;
// A request on a device that answers late holds the worker a little longer than its time-outs.
constexpr milliseconds kJobProgressBound = 3 * kRequestBound;
constexpr double kMemoryToleranceMiB = 4.0;
#if defined(__SANITIZE_ADDRESS__)
// AddressSanitizer keeps freed memory in quarantine (up to 256 MiB): the
// resident size says nothing about leaks there, and its leak check does.
constexpr bool kMemoryJudged = false;
#else
constexpr bool kMemoryJudged = true;
#endif

double residentMiB() { return static_cast<double>(karvel::test::residentBytes()) / (1024.0 * 1024.0); }

// One effect call a second, through all four effects in turn.
void issueEffect(karvel::host::KarvelLibrary& lib, EffectJudge& judge, std::uint64_t n) {
    const int level = static_cast<int>(n / 4 % 4);
    switch (n % 4) {
    case 0: lib.SetWindSpeed(level); judge.issued(Effect::Wind, level); break;
    case 1: lib.SetWaterMist(level); judge.issued(Effect::WaterMist, level); break;
    case 2: lib.SetHeater(level % 2); judge.issued(Effect::Heater, level % 2); break;
    default: lib.SetScent(level % 3); judge.issued(Effect::Scent, level % 3); break;
    }
}

// The host's one thread of calls: postures at 1 kHz, an effect in the middle
// of every thousand, the devices looked at every 20 ms; returns the frames sent.
std::uint64_t stream(karvel::host::KarvelLibrary& lib, Watchdog& watchdog, Clock::duration length,
                     const std::function<void()>& atWarmUpEnd, EffectJudge& judge) {
    std::uint64_t framesSent = 0;
    const Clock::time_point start = Clock::now();
    const Clock::time_point warmUpEnd = start + std::min<Clock::duration>(std::chrono::seconds(10), length / 4);
    bool warm = false;
    Clock::time_point next = start;
    while (Clock::now() - start < length) {
        watchdog.guard("Ridova_SendPostureCommand", kQueueCallBound, [&] { MotionCheck::sendFrame(lib, framesSent); });
        if (framesSent % 20 == 0) judge.check();
        if (framesSent++ % 1000 == 500) {
            const std::uint64_t n = judge.verdicts().issued;
            watchdog.guard("an effect call", kQueueCallBound, [&] { issueEffect(lib, judge, n); });
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
    EffectJudge judge(devices, kJobProgressBound);
    Watchdog watchdog(kJobProgressBound, [&] {
        const EffectVerdicts verdicts = judge.verdicts();
        return Watchdog::JobProgress{verdicts.issued, verdicts.judged()};
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
                                            [&] { rssStart = residentMiB(); }, judge);
    devices.stopFaults();
    // The devices are well again: one last call of each effect must land.
    const EffectVerdicts beforeLast = judge.verdicts();
    watchdog.guard("the last effect calls", kQueueCallBound, [&] {
        for (std::uint64_t n = 12; n < 16; ++n) issueEffect(lib, judge, n); // level 3 wind and mist, heater on, scent 0
    });
    waitFor([&] {
        judge.check();
        return judge.verdicts().judged() == judge.verdicts().issued;
    }, 2 * kJobProgressBound);
    const EffectVerdicts verdicts = judge.verdicts();
    const bool lastLanded = verdicts.landed - beforeLast.landed == 4;
    waitFor([&] { return motion.counts().unique + log.framesGivenWay() >= framesSent; }, milliseconds(5000));
    const double rssEnd = residentMiB();
    watchdog.guard("Ridova_Release", kReleaseBound, [&] { lib.Release(); });
    motion.stop();

    const MotionCounts frames = motion.counts();
    // Frames the library reported as given way to newer ones are its policy, not a loss.
    const std::uint64_t givenWay = log.framesGivenWay();
    const std::uint64_t lost = framesSent > frames.unique + givenWay ? framesSent - frames.unique - givenWay : 0;
    const std::uint64_t started = log.startedRequests();
    const std::uint64_t succeeded = log.succeededRequests();
    const std::uint64_t failed = log.failedRequests();
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
    std::printf("  effect calls     issued %llu; on the devices: landed %llu, superseded by a later call %llu, "
                "missed after a fault %llu, missed unexplained %llu; the last four %s\n",
                static_cast<unsigned long long>(verdicts.issued), static_cast<unsigned long long>(verdicts.landed),
                static_cast<unsigned long long>(verdicts.superseded),
                static_cast<unsigned long long>(verdicts.missedAfterAFault),
                static_cast<unsigned long long>(verdicts.missedUnexplained), lastLanded ? "landed" : "did NOT land");
    std::printf("  Modbus requests  started %llu, succeeded %llu, failed %llu (with an ERROR line)\n",
                static_cast<unsigned long long>(started), static_cast<unsigned long long>(succeeded),
                static_cast<unsigned long long>(failed));
    std::printf("  faults met       %s\n", devices.faultSummary().c_str());
    std::printf("  other errors     %llu%s%s\n", static_cast<unsigned long long>(log.otherErrors()),
                log.otherErrors() ? ", first: " : "", log.firstOtherError().c_str());
    const std::string memoryLimit = kMemoryJudged ? "limit +" + std::to_string(static_cast<int>(kMemoryToleranceMiB)) + " MiB"
                                                  : "not judged: AddressSanitizer's quarantine";
    std::printf("  memory (RSS)     %.1f MiB after warm-up, %.1f MiB at the end (%+.1f MiB, %s)\n", rssStart, rssEnd,
                growth, memoryLimit.c_str());

    std::string failures;
    const auto fail = [&failures](bool failedCheck, const char* what) {
        if (failedCheck) failures += failures.empty() ? what : std::string(", ") + what;
    };
    fail(lost != 0 || frames.reordered != 0 || frames.repeated != 0 || frames.malformed != 0, "motion frames");
    fail(verdicts.missedUnexplained != 0 || !lastLanded || verdicts.judged() != verdicts.issued, "effect calls");
    fail(failed > started, "Modbus requests");
    fail(log.otherErrors() != 0, "other errors");
    fail(kMemoryJudged && growth > kMemoryToleranceMiB, "memory growth");
    std::printf("RESULT: %s%s%s\n", failures.empty() ? "PASS" : "FAIL (", failures.c_str(), failures.empty() ? "" : ")");
    return failures.empty() ? 0 : 1;
}
