// The motion worker meets failing sends: in a network namespace of this
// test's own, whose loopback interface is down, every datagram to 127.0.0.1
// fails with "network unreachable". Port 8410 there is the namespace's own.
#include <gtest/gtest.h>

#include <sched.h>

#include <cerrno>
#include <chrono>
#include <string>
#include <thread>

#include "Karvel.h"
#include "SeatController.h"
#include "UDPTransportLayer.h"
#include "support/LogCapture.h"

using karvel::test::LogCapture;

namespace {

// The in-process controller outlives the capture: its release at exit must not log into it.
struct CapturedLog {
    CapturedLog() { Ridova_SetLogCallback(&LogCapture::callback); }
    ~CapturedLog() { Ridova_SetLogCallback(nullptr); }
    CapturedLog(const CapturedLog&) = delete;
    CapturedLog& operator=(const CapturedLog&) = delete;
};

} // namespace

TEST(SendFailure, EveryFailedSendIsCountedInAFewLinesAndTheStreamGoesOn) {
    const CapturedLog captured;
    LogCapture::instance().clear();
    constexpr int kFrames = 2000;
    int unshareError = 0;
    bool opened = false;
    const auto start = std::chrono::steady_clock::now();
    // Only this thread enters the new namespace; the socket is created there.
    std::thread inNamespace([&] {
        if (::unshare(CLONE_NEWNET) != 0) {
            unshareError = errno;
            return;
        }
        karvel::UDPTransportLayer transport;
        opened = transport.initialize("127.0.0.1", 7408);
        for (int i = 0; i < kFrames; ++i) transport.sendAxes(i, 0, 0, 0);
        transport.close(); // joins the worker: every frame still queued was tried
    });
    inNamespace.join();
    if (unshareError != 0) GTEST_SKIP() << "no network namespace of our own here (errno " << unshareError << ")";
    ASSERT_TRUE(opened);
    karvel::SeatController::instance().sink().flushRepeats();
    const auto seconds = std::chrono::duration_cast<std::chrono::seconds>(std::chrono::steady_clock::now() - start);

    const LogCapture& log = LogCapture::instance();
    const std::string failure = "[Ridova][ERROR] UDPTransportLayer sendto error: " + std::to_string(ENETUNREACH);
    const std::string behind = "[Ridova][ERROR] UDPTransportLayer fell behind: ";
    std::uint64_t dropped = 0;
    for (const std::string& line : log.linesStartingWith(behind)) dropped += std::stoull(line.substr(behind.size()));
    // Each frame was either tried and failed, or gave way to a newer one.
    EXPECT_EQ(log.occurrences(failure) + dropped, static_cast<std::uint64_t>(kFrames));
    EXPECT_TRUE(log.contains(failure));
    EXPECT_LE(log.linesStartingWith(failure).size(), static_cast<std::size_t>(seconds.count()) + 3);
    EXPECT_TRUE(log.linesStartingWith("[Ridova][INFO] [UDP TX] socket-send-ok").empty());
}
