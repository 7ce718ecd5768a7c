// The host's log callback against the real shared library: calls into the
// library from inside the callback, on each kind of thread that enters it,
// and host text inside log lines. These tests bind the fixed source port 8410.
#include <gtest/gtest.h>

#include <atomic>
#include <functional>
#include <future>
#include <mutex>
#include <string>
#include <thread>

#include "Karvel.h"
#include "support/FinishWithin.h"
#include "support/Gate.h"
#include "support/LoadedKarvel.h"
#include "support/ModbusTestServer.h"
#include "support/Timing.h"
#include "support/UdpReceiver.h"

using karvel::test::becomes;
using karvel::test::expectedFrame;
using karvel::test::finishWithin;
using karvel::test::LogCapture;
using karvel::test::UdpReceiver;
using Framing = karvel::test::ModbusTestServer::Framing;

namespace {

constexpr int kOrvida = 1;
constexpr const char* kLoopback = "127.0.0.1";
constexpr std::chrono::seconds kDeadlock(60);

karvel::host::KarvelLibrary& lib() { return karvel::test::karvelLibrary(); }
LogCapture& log() { return LogCapture::instance(); }

bool startsWith(const char* text, const std::string& prefix) { return std::string(text).rfind(prefix, 0) == 0; }

// The callback the tests register: every line goes to the capture; the first
// line that begins with the armed trigger also runs the armed calls, from
// inside the callback, on whatever thread wrote it.
struct Reentry {
    std::mutex mutex;
    std::string trigger;
    std::function<void()> calls;
    std::promise<void> ran;

    static Reentry& instance() {
        static Reentry self;
        return self;
    }
    void arm(std::string triggerLine, std::function<void()> callsInside) {
        std::lock_guard<std::mutex> lock(mutex);
        trigger = std::move(triggerLine);
        calls = std::move(callsInside);
        ran = std::promise<void>();
        armed = true;
    }
    bool waitRan() { return ran.get_future().wait_for(std::chrono::seconds(30)) == std::future_status::ready; }
    static void callback(int level, const char* text) {
        LogCapture::callback(level, text);
        Reentry& self = instance();
        std::function<void()> calls;
        {
            std::lock_guard<std::mutex> lock(self.mutex);
            if (!self.armed || !startsWith(text, self.trigger)) return;
            self.armed = false;
            calls = std::move(self.calls);
        }
        calls();
        self.ran.set_value();
    }
    bool armed = false;
};

class LogCallbackApi : public ::testing::Test {
public:
    void SetUp() override {
        lib().SetLogCallback(&Reentry::callback);
        lib().Release();
        log().clear();
    }
    void TearDown() override {
        lib().Release();
        lib().SetLogCallback(&LogCapture::callback);
    }

    bool configure() {
        return lib().SetConfiguration(kOrvida, kLoopback, seat.port(), 1, kLoopback, relay.port(), kLoopback,
                                      speed.port());
    }

    UdpReceiver seat;
    karvel::test::ModbusTestServer relay{Framing::Mbap};
    karvel::test::ModbusTestServer speed{Framing::Rtu};
};

// Where the callback is entered from, and what makes the library write the line there.
struct EnteredFrom {
    const char* name;
    const char* trigger;
    void (*cause)(LogCallbackApi& test);
    // The configuration in progress turns the devices it replaces off, so the
    // fan served from inside its callback ends off again.
    bool fanEndsOff = false;
};

void reconfigure(LogCallbackApi& test) { EXPECT_TRUE(test.configure()); }
void posture(LogCallbackApi&) { lib().SendSeatPosture(3.0f, 0.0f, 0.0f, 0.5f); }
void home(LogCallbackApi&) { lib().ResetPosition(); }
void heater(LogCallbackApi&) { lib().SetHeater(1); }

void PrintTo(const EnteredFrom& entered, std::ostream* out) { *out << entered.name; }

class FromInsideTheCallback : public LogCallbackApi, public ::testing::WithParamInterface<EnteredFrom> {};

} // namespace

// Configuration, endpoint changes and release take the controller's lock or
// join a worker, which the thread inside the callback may hold or be: they
// are refused with an ERROR line. Postures and effect levels only queue and
// are served.
TEST_P(FromInsideTheCallback, CallsThatWaitAreRefusedAndCallsThatQueueAreServed) {
    ASSERT_TRUE(configure());
    const int otherSeat = seat.port();
    struct Results {
        bool configured = true, switched = true, switchedEffects = true;
    } results;
    Reentry::instance().arm(GetParam().trigger, [&] {
        results.configured = lib().SetConfiguration(kOrvida, kLoopback, otherSeat, 0, "", 0, "", 0);
        results.switched = lib().SetUdpEndpoint(kLoopback, otherSeat);
        results.switchedEffects = lib().SetEffectsEndpoints(kLoopback, relay.port(), kLoopback, speed.port() + 1);
        lib().Release();
        lib().SetWindSpeed(3);
        lib().ResetPosition();
    });
    finishWithin(kDeadlock, "calls from inside the callback", [&] {
        GetParam().cause(*this);
        EXPECT_TRUE(Reentry::instance().waitRan());
    });
    EXPECT_FALSE(results.configured);
    EXPECT_FALSE(results.switched);
    EXPECT_FALSE(results.switchedEffects);
    for (const char* name :
         {"Ridova_SetConfiguration", "Ridova_SetUdpEndpoint", "Ridova_SetEffectsEndpoints", "Ridova_Release"})
        EXPECT_EQ(log().occurrences(std::string("[Ridova][ERROR] ") + name +
                                    " refused: called from inside the log callback"),
                  1u)
            << name;
    // Served: the fan was set to full speed and the seat went home, through what was configured.
    const auto fanSetToFull = [&] {
        for (const karvel::test::Bytes& request : speed.requests())
            if (karvel::test::rtuPdu(request) == karvel::test::Bytes{0x06, 0x00, 0x03, 0x00, 100}) return true;
        return false;
    };
    EXPECT_TRUE(becomes(fanSetToFull));
    const int fanAtEnd = GetParam().fanEndsOff ? 0 : 100;
    EXPECT_TRUE(becomes([&] { return speed.holdingRegister(3) == fanAtEnd; }));
    bool home = false;
    while (!home) {
        const std::optional<karvel::test::Datagram> frame = seat.receive();
        if (!frame) break;
        home = frame->bytes == expectedFrame(65177, 65177, 65177, 0);
    }
    EXPECT_TRUE(home);
    // Nothing was released: the seat still takes calls from outside the callback.
    EXPECT_TRUE(lib().SetUdpEndpoint(kLoopback, seat.port()));
}

INSTANTIATE_TEST_SUITE_P(
    EachThread, FromInsideTheCallback,
    ::testing::Values(EnteredFrom{"HostThreadHoldingTheControllerLock", "[Ridova][INFO] setConfiguration called:",
                                  &reconfigure, true},
                      EnteredFrom{"HostThreadInAPostureCall", "[Ridova][DEBUG] sendSeatPosture:", &posture},
                      EnteredFrom{"MotionWorker", "[Ridova][INFO] [UDP TX] socket-send-ok", &home},
                      EnteredFrom{"EffectsWorker", "[Ridova][DEBUG] ModbusTcpClient sendRequest", &heater}),
    [](const ::testing::TestParamInfo<EnteredFrom>& entered) { return std::string(entered.param.name); });

namespace {

thread_local int depth = 0;
std::atomic<int> deepest{0};
void (*onEveryLine)() = nullptr;

// Calls into the library on every line it gets, on every thread.
void callsOnEveryLine(int level, const char* text) {
    LogCapture::callback(level, text);
    ++depth;
    if (depth > deepest.load()) deepest = depth;
    onEveryLine();
    --depth;
}

} // namespace

// Each call from inside the callback writes a line, which enters the callback,
// which calls again: the library ends that chain.
TEST_F(LogCallbackApi, ACallbackThatCallsTheLibraryOnEveryLineDoesNotRecurseWithoutBound) {
    const std::pair<const char*, void (*)()> calls[] = {
        {"refused", [] { lib().SetConfiguration(kOrvida, kLoopback, 7408, 0, "", 0, "", 0); }},
        {"served", [] { lib().SetWindSpeed(2); }},
    };
    for (const auto& [name, call] : calls) {
        SCOPED_TRACE(name);
        ASSERT_TRUE(configure());
        deepest = 0;
        onEveryLine = call;
        lib().SetLogCallback(&callsOnEveryLine);
        finishWithin(kDeadlock, "a callback calling the library on every line", [&] {
            EXPECT_TRUE(configure());
            lib().SendSeatPosture(1.0f, 2.0f, 3.0f, 0.5f);
            lib().SetHeater(1);
            EXPECT_TRUE(relay.waitForRequests(1));
            lib().SetLogCallback(&LogCapture::callback);
        });
        EXPECT_EQ(deepest.load(), 2);
    }
    EXPECT_TRUE(speed.waitForRequests(1));
}

// A host text with a line end and a terminal escape in it: still one line,
// holding neither.
TEST_F(LogCallbackApi, HostTextInALineIsEscaped) {
    ASSERT_TRUE(configure());
    log().clear();
    const std::string forged = "10.0.0.1\n[Ridova][INFO] forged\x1b[2J\r\t\x7f";
    EXPECT_FALSE(lib().SetUdpEndpoint(forged.c_str(), 7408));
    EXPECT_FALSE(lib().SetConfiguration(kOrvida, forged.c_str(), 7408, 0, "", 0, "", 0));
    const std::string shown = "10.0.0.1\\n[Ridova][INFO] forged\\x1B[2J\\r\\t\\x7F";
    EXPECT_EQ(log().linesStartingWith("[Ridova][ERROR] UDPTransportLayer setTarget invalid IP: "),
              std::vector<std::string>{"[Ridova][ERROR] UDPTransportLayer setTarget invalid IP: " + shown});
    EXPECT_TRUE(log().contains("[Ridova][INFO] setConfiguration called: seatType=1, udpIp=" + shown +
                               ", udpPort=7408, enableEffects=0"));
    EXPECT_TRUE(log().contains("[Ridova][ERROR] UDP initialization failed for IP: " + shown + ":7408"));
    EXPECT_TRUE(log().linesStartingWith("[Ridova][INFO] forged").empty());
    for (const std::string& line : log().texts())
        for (const char c : line) EXPECT_FALSE(static_cast<unsigned char>(c) < 0x20 || c == 0x7f) << line;
}

namespace {

// On the effects worker's request line, sets the wind from inside the
// callback; that call's own line, written while the call holds the effects
// controller, waits at the gate.
std::atomic<bool> callingOnce{true};
karvel::test::Gate* effectCallGate = nullptr;

void holdsAnEffectCall(int level, const char* text) {
    LogCapture::callback(level, text);
    if (startsWith(text, "[Ridova][DEBUG] ModbusTcpClient sendRequest") && callingOnce.exchange(false))
        lib().SetWindSpeed(1);
    else if (startsWith(text, "[Ridova][DEBUG] setWindSpeed: 1"))
        effectCallGate->arrive();
}

} // namespace

// A reconfiguration replaces the effects controller while an effect call made
// from inside the callback, on that controller's own worker, still holds it:
// the controller must end on the host's thread, since its worker cannot join itself.
TEST_F(LogCallbackApi, AnEffectsControllerReplacedWhileItsOwnWorkerHoldsItEndsOnTheHostsThread) {
    ASSERT_TRUE(configure());
    static karvel::test::Gate gate; // outlives a line still on its way through the callback
    effectCallGate = &gate;
    lib().SetLogCallback(&holdsAnEffectCall);
    lib().SetHeater(1);
    ASSERT_TRUE(gate.waitArrived(1));
    std::promise<bool> reconfigured;
    std::future<bool> done = reconfigured.get_future();
    std::thread host([&] { reconfigured.set_value(configure()); });
    // The reconfiguration may wait for the held worker, or not: the worker
    // is let go either way once it had time to get there.
    done.wait_for(std::chrono::seconds(2));
    gate.letGo();
    host.join();
    EXPECT_TRUE(done.get());
    lib().SetLogCallback(&LogCapture::callback);
    // The new controller serves the devices.
    lib().SetWindSpeed(3);
    EXPECT_TRUE(becomes([&] { return speed.holdingRegister(3) == 100; }));
}
