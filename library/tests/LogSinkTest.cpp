#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "LogSink.h"
#include "support/FinishWithin.h"
#include "support/Gate.h"
#include "support/LogCapture.h"
#include "support/Timing.h"

using karvel::LogSink;
using karvel::test::becomes;
using karvel::test::Gate;
using karvel::test::LogCapture;

namespace {

class LogSinkTest : public ::testing::Test {
protected:
    void SetUp() override {
        LogCapture::instance().clear();
        sink.setCallback(&LogCapture::callback);
    }
    LogSink sink;
};

} // namespace

TEST_F(LogSinkTest, LinesAreCutAfter1023Characters) {
    const std::string exact(1023, 'a');
    const std::string over(1024, 'b');
    sink.log(karvel::kLogInfo, "%s", exact.c_str());
    sink.log(karvel::kLogError, "%s", over.c_str());
    sink.log(karvel::kLogDebug, "%s%s", over.c_str(), over.c_str());
    const std::vector<karvel::test::LogEntry> entries = LogCapture::instance().entries();
    ASSERT_EQ(entries.size(), 3u);
    EXPECT_EQ(entries[0].text, exact);
    EXPECT_EQ(entries[1].text, over.substr(0, 1023));
    EXPECT_EQ(entries[2].text, over.substr(0, 1023));
    EXPECT_EQ(entries[0].level, 1);
    EXPECT_EQ(entries[1].level, 2);
    EXPECT_EQ(entries[2].level, 0);
}

TEST_F(LogSinkTest, TextIsHandedOnAsFormatted) {
    sink.log(karvel::kLogDebug, "[Ridova][DEBUG] value=%d text=%s", 42, "x");
    EXPECT_EQ(LogCapture::instance().texts(), std::vector<std::string>{"[Ridova][DEBUG] value=42 text=x"});
}

TEST_F(LogSinkTest, EachLineReadsTheCallbackOnce) {
    sink.setCallback(nullptr);
    EXPECT_EQ(sink.callback(), nullptr);
    sink.setCallback(&LogCapture::callback);
    EXPECT_EQ(sink.callback(), &LogCapture::callback);
}

TEST_F(LogSinkTest, AnErrorRepeatedTenThousandTimesGivesAFewLinesAndItsCount) {
    const auto start = std::chrono::steady_clock::now();
    for (int i = 0; i < 10000; ++i) sink.log(karvel::kLogError, "[Ridova][ERROR] UDPTransportLayer sendto error: %d", 101);
    const auto seconds = std::chrono::duration_cast<std::chrono::seconds>(std::chrono::steady_clock::now() - start);
    sink.flushRepeats();
    const LogCapture& log = LogCapture::instance();
    const std::vector<std::string> lines = log.texts();
    ASSERT_FALSE(lines.empty());
    EXPECT_EQ(lines.front(), "[Ridova][ERROR] UDPTransportLayer sendto error: 101");
    // The first, then one count a second, then the rest at the flush.
    EXPECT_LE(lines.size(), static_cast<std::size_t>(seconds.count()) + 3) << lines.size() << " lines";
    EXPECT_EQ(log.occurrences("[Ridova][ERROR] UDPTransportLayer sendto error: 101"), 10000u);
}

TEST_F(LogSinkTest, OnlyErrorLinesAreHeldBack) {
    for (int i = 0; i < 3; ++i) {
        sink.log(karvel::kLogDebug, "[Ridova][DEBUG] same");
        sink.log(karvel::kLogInfo, "[Ridova][INFO] same");
    }
    EXPECT_EQ(LogCapture::instance().texts().size(), 6u);
}

namespace {

// A callback that stays inside until it is let go.
struct BlockingCallback {
    static BlockingCallback& instance() {
        static BlockingCallback self;
        return self;
    }
    static void callback(int, const char*) {
        BlockingCallback& self = instance();
        std::unique_lock<std::mutex> lock(self.mutex);
        self.inside = true;
        self.changed.notify_all();
        self.changed.wait(lock, [&] { return self.letGo; });
        self.inside = false;
        self.left = true;
    }
    void waitInside() {
        std::unique_lock<std::mutex> lock(mutex);
        changed.wait(lock, [&] { return inside; });
    }
    void release() {
        std::lock_guard<std::mutex> lock(mutex);
        letGo = true;
        changed.notify_all();
    }
    bool hasLeft() {
        std::lock_guard<std::mutex> lock(mutex);
        return left;
    }

    std::mutex mutex;
    std::condition_variable changed;
    bool inside = false;
    bool letGo = false;
    bool left = false;
};

} // namespace

TEST_F(LogSinkTest, ReplacingTheCallbackWaitsForThreadsStillInsideTheOldOne) {
    BlockingCallback& old = BlockingCallback::instance();
    sink.setCallback(&BlockingCallback::callback);
    std::thread worker([&] { sink.log(karvel::kLogInfo, "[Ridova][INFO] held"); });
    old.waitInside();
    std::atomic<bool> replaced{false};
    bool oldLeftFirst = false;
    std::thread host([&] {
        sink.setCallback(&LogCapture::callback);
        oldLeftFirst = old.hasLeft();
        replaced = true;
    });
    // Once the new callback is in place, lines go to it without waiting.
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (sink.callback() != &LogCapture::callback && std::chrono::steady_clock::now() < deadline)
        std::this_thread::yield();
    ASSERT_EQ(sink.callback(), &LogCapture::callback);
    sink.log(karvel::kLogInfo, "[Ridova][INFO] meanwhile");
    EXPECT_TRUE(LogCapture::instance().contains("[Ridova][INFO] meanwhile"));
    EXPECT_FALSE(replaced) << "returned while a thread was inside the old callback";
    old.release();
    host.join();
    worker.join();
    EXPECT_TRUE(oldLeftFirst);
}

namespace {
karvel::LogSink* selfReplacingSink = nullptr;
void replacesItself(int, const char*) { selfReplacingSink->setCallback(&LogCapture::callback); }
} // namespace

TEST_F(LogSinkTest, ACallbackMayReplaceItselfWithoutWaitingForItself) {
    selfReplacingSink = &sink;
    sink.setCallback(&replacesItself);
    sink.log(karvel::kLogInfo, "[Ridova][INFO] first");
    sink.log(karvel::kLogInfo, "[Ridova][INFO] second");
    EXPECT_EQ(LogCapture::instance().texts(), std::vector<std::string>{"[Ridova][INFO] second"});
}

namespace {

Gate* gate = nullptr;
karvel::LogSink* gatedSink = nullptr;

void silent(int, const char*) {}

// Waits at the gate, then replaces itself and writes one more line.
void replacesItselfOnceLetGo(int, const char*) {
    gate->arrive();
    gatedSink->setCallback(&LogCapture::callback);
    gatedSink->log(karvel::kLogInfo, "[Ridova][INFO] after the replacement");
}

} // namespace

// The host replaces the callback while threads inside it replace it too: the
// host waits for them, and they must not wait for the host.
TEST_F(LogSinkTest, TheHostAndCallbacksReplacingTheCallbackAtOnceAllReturn) {
    for (const int threads : {1, 3}) {
        Gate here;
        gate = &here;
        gatedSink = &sink;
        sink.setCallback(&replacesItselfOnceLetGo);
        LogCapture::instance().clear();
        karvel::test::finishWithin(std::chrono::seconds(30), "the replacements", [&] {
            std::vector<std::thread> library;
            for (int i = 0; i < threads; ++i)
                library.emplace_back([&] { sink.log(karvel::kLogInfo, "[Ridova][INFO] held"); });
            here.waitArrived(threads);
            std::thread host([&] { sink.setCallback(&silent); });
            EXPECT_TRUE(becomes([&] { return sink.callback() == &silent; }));
            here.letGo();
            host.join();
            for (std::thread& thread : library) thread.join();
        });
        // The callbacks replaced it after the host did: theirs is in force.
        EXPECT_EQ(sink.callback(), &LogCapture::callback) << threads;
        EXPECT_EQ(LogCapture::instance().texts(),
                  std::vector<std::string>(static_cast<std::size_t>(threads), "[Ridova][INFO] after the replacement"));
    }
}

namespace {

// Callbacks that count the threads inside them; each stays a while.
constexpr int kRotatingCallbacks = 4;
std::atomic<int> insideRotating[kRotatingCallbacks];

template <int N>
void rotating(int, const char*) {
    insideRotating[N].fetch_add(1);
    for (volatile int spin = 0; spin < 2000; spin = spin + 1) {
    }
    insideRotating[N].fetch_sub(1);
}

const LogCallback kRotating[kRotatingCallbacks] = {&rotating<0>, &rotating<1>, &rotating<2>, &rotating<3>};

} // namespace

// Many threads log while the host replaces the callback over and over: once
// a replacement returned, no thread is inside the callback it replaced,
// whatever moment each thread was at when the replacement began.
TEST_F(LogSinkTest, NoThreadIsInsideAReplacedCallbackOnceItsReplacementReturned) {
    sink.setCallback(kRotating[0]);
    std::atomic<bool> stop{false};
    std::vector<std::thread> threads;
    for (int i = 0; i < 6; ++i)
        threads.emplace_back([&] {
            while (!stop.load()) sink.log(karvel::kLogDebug, "[Ridova][DEBUG] line");
        });
    int stillInside = 0;
    const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(1);
    for (int i = 0; std::chrono::steady_clock::now() < end; ++i) {
        sink.setCallback(kRotating[(i + 1) % kRotatingCallbacks]);
        if (insideRotating[i % kRotatingCallbacks].load() != 0) ++stillInside;
    }
    stop = true;
    for (std::thread& thread : threads) thread.join();
    EXPECT_EQ(stillInside, 0);
}

namespace {
karvel::LogSink* echoingSink = nullptr;
std::atomic<int> echoDepth{0};
std::atomic<int> deepestEcho{0};

// Logs a line of its own for every line it gets, as a callback that calls
// into the library on every line makes the library do.
void echoes(int, const char*) {
    const int depth = echoDepth.fetch_add(1) + 1;
    if (depth > deepestEcho.load()) deepestEcho = depth;
    if (depth < 1000) echoingSink->log(karvel::kLogDebug, "[Ridova][DEBUG] echo");
    echoDepth.fetch_sub(1);
}
} // namespace

TEST_F(LogSinkTest, ACallbackThatMakesALineOnEveryLineIsEnteredAtMostTwiceDeep) {
    echoingSink = &sink;
    sink.setCallback(&echoes);
    sink.log(karvel::kLogInfo, "[Ridova][INFO] first");
    sink.log(karvel::kLogInfo, "[Ridova][INFO] second");
    EXPECT_EQ(deepestEcho.load(), 2);
}

// The library's unload and the process's exit close the sink: from then on
// nothing enters the host's callback, whatever replaces it.
TEST_F(LogSinkTest, AClosedSinkNeverEntersACallbackAgain) {
    sink.close(std::chrono::milliseconds(0));
    EXPECT_EQ(sink.callback(), nullptr);
    sink.setCallback(&LogCapture::callback);
    EXPECT_EQ(sink.callback(), nullptr);
    sink.log(karvel::kLogInfo, "[Ridova][INFO] after the close");
    sink.close(std::chrono::seconds(10)); // again: nothing to wait for
    EXPECT_TRUE(LogCapture::instance().texts().empty());
}

TEST_F(LogSinkTest, ClosingWaitsForTheThreadsInsideTheCallbackButNotForever) {
    for (const bool letGoInTime : {true, false}) {
        karvel::LogSink closing;
        Gate here;
        gate = &here;
        gatedSink = &closing;
        closing.setCallback(&replacesItselfOnceLetGo);
        std::thread inside([&] { closing.log(karvel::kLogInfo, "[Ridova][INFO] held"); });
        here.waitArrived(1);
        std::atomic<bool> closed{false};
        const auto limit = letGoInTime ? std::chrono::milliseconds(std::chrono::minutes(1)) : std::chrono::milliseconds(50);
        std::thread closer([&] {
            closing.close(limit);
            closed = true;
        });
        ASSERT_TRUE(becomes([&] { return closing.callback() == nullptr; }));
        if (letGoInTime) {
            EXPECT_FALSE(closed.load()) << "returned while a thread was inside the callback";
        } else {
            closer.join(); // gave up waiting: the host holds that thread
        }
        here.letGo();
        if (letGoInTime) closer.join();
        inside.join();
        EXPECT_TRUE(closed.load());
        // The thread let go replaced its callback and logged again: neither took effect.
        EXPECT_EQ(closing.callback(), nullptr);
        EXPECT_TRUE(LogCapture::instance().texts().empty());
    }
}

namespace {
karvel::LogSink* closingSink = nullptr;
void closesTheSink(int, const char*) { closingSink->close(std::chrono::minutes(1)); }
} // namespace

TEST_F(LogSinkTest, ACallbackThatClosesTheSinkDoesNotWaitForItself) {
    closingSink = &sink;
    sink.setCallback(&closesTheSink);
    karvel::test::finishWithin(std::chrono::seconds(30), "a close from inside the callback",
                               [&] { sink.log(karvel::kLogInfo, "[Ridova][INFO] closing"); });
    EXPECT_EQ(sink.callback(), nullptr);
}
