// Without a callback, lines go to the debugger output, one OutputDebugStringA
// call per line, with no line end added.
#include <gtest/gtest.h>

#include <windows.h>

#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "Karvel.h"
#include "LogSink.h"
#include "support/LogCapture.h"

namespace {

// Records what reaches OutputDebugStringA while the object lives. With no
// debugger attached, OutputDebugStringA raises DBG_PRINTEXCEPTION_C with the
// text's length and address and handles it itself; a vectored exception
// handler sees that exception first, copies the text and lets it go on.
class DebugOutputCapture {
public:
    DebugOutputCapture() : handler_(::AddVectoredExceptionHandler(1, &DebugOutputCapture::handle)) {
        EXPECT_NE(handler_, nullptr);
        strings().clear();
    }
    ~DebugOutputCapture() { ::RemoveVectoredExceptionHandler(handler_); }
    DebugOutputCapture(const DebugOutputCapture&) = delete;
    DebugOutputCapture& operator=(const DebugOutputCapture&) = delete;

    std::vector<std::string> take() {
        std::lock_guard<std::mutex> lock(mutex());
        return strings();
    }

private:
    static LONG CALLBACK handle(EXCEPTION_POINTERS* exception) {
        const EXCEPTION_RECORD& record = *exception->ExceptionRecord;
        if (record.ExceptionCode == DBG_PRINTEXCEPTION_C && record.NumberParameters >= 2) {
            const auto length = static_cast<std::size_t>(record.ExceptionInformation[0]); // with the NUL
            const auto* text = reinterpret_cast<const char*>(record.ExceptionInformation[1]);
            std::lock_guard<std::mutex> lock(mutex());
            strings().emplace_back(text, length > 0 ? length - 1 : 0);
        }
        return EXCEPTION_CONTINUE_SEARCH;
    }
    static std::mutex& mutex() {
        static std::mutex instance;
        return instance;
    }
    static std::vector<std::string>& strings() {
        static std::vector<std::string> instance;
        return instance;
    }

    void* handler_;
};

} // namespace

TEST(LogFallback, DebuggerOutputUntilACallbackIsRegisteredAndAfterItIsRemoved) {
    karvel::test::LogCapture::instance().clear();
    DebugOutputCapture capture;
    Ridova_SetLogCallback(nullptr);
    karvel::logLine(karvel::kLogInfo, "[Ridova][INFO] first");
    Ridova_SetLogCallback(&karvel::test::LogCapture::callback);
    karvel::logLine(karvel::kLogInfo, "[Ridova][INFO] second");
    Ridova_SetLogCallback(nullptr);
    karvel::logLine(karvel::kLogDebug, "[Ridova][DEBUG] third");
    EXPECT_EQ(capture.take(), (std::vector<std::string>{"[Ridova][INFO] first", "[Ridova][DEBUG] third"}));
    EXPECT_EQ(karvel::test::LogCapture::instance().texts(), std::vector<std::string>{"[Ridova][INFO] second"});
}

TEST(LogFallback, LinesFromSeveralThreadsArriveWhole) {
    DebugOutputCapture capture;
    Ridova_SetLogCallback(nullptr);
    const std::string a(300, 'a');
    const std::string b(300, 'b');
    std::vector<std::thread> threads;
    for (const std::string* text : {&a, &b})
        threads.emplace_back([text] {
            for (int i = 0; i < 20; ++i) karvel::logLine(karvel::kLogDebug, "%s", text->c_str());
        });
    for (std::thread& thread : threads) thread.join();
    const std::vector<std::string> lines = capture.take();
    EXPECT_EQ(lines.size(), 40u);
    for (const std::string& line : lines) EXPECT_TRUE(line == a || line == b) << line.substr(0, 40);
}
