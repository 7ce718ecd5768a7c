// Without a callback, lines go to standard error, one whole line per write.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <unistd.h>

#include <string>
#include <thread>
#include <vector>

#include "Karvel.h"
#include "LogSink.h"
#include "support/LogCapture.h"

namespace {

// Redirects standard error into a pipe for the lifetime of the object.
class StderrCapture {
public:
    StderrCapture() {
        EXPECT_EQ(::pipe(pipe_), 0);
        ::fcntl(pipe_[0], F_SETFL, O_NONBLOCK);
        saved_ = ::dup(STDERR_FILENO);
        ::dup2(pipe_[1], STDERR_FILENO);
    }
    ~StderrCapture() {
        restore();
        ::close(pipe_[0]);
    }
    std::string take() {
        restore();
        std::string text;
        char buffer[4096];
        ssize_t n;
        while ((n = ::read(pipe_[0], buffer, sizeof buffer)) > 0) text.append(buffer, static_cast<std::size_t>(n));
        return text;
    }

private:
    void restore() {
        if (saved_ < 0) return;
        ::dup2(saved_, STDERR_FILENO);
        ::close(saved_);
        ::close(pipe_[1]);
        saved_ = -1;
    }
    int pipe_[2] = {-1, -1};
    int saved_ = -1;
};

} // namespace

TEST(LogFallback, StandardErrorUntilACallbackIsRegisteredAndAfterItIsRemoved) {
    karvel::test::LogCapture::instance().clear();
    StderrCapture capture;
    Ridova_SetLogCallback(nullptr);
    karvel::logLine(karvel::kLogInfo, "[Ridova][INFO] first");
    Ridova_SetLogCallback(&karvel::test::LogCapture::callback);
    karvel::logLine(karvel::kLogInfo, "[Ridova][INFO] second");
    Ridova_SetLogCallback(nullptr);
    karvel::logLine(karvel::kLogDebug, "[Ridova][DEBUG] third");
    EXPECT_EQ(capture.take(), "[Ridova][INFO] first\n[Ridova][DEBUG] third\n");
    EXPECT_EQ(karvel::test::LogCapture::instance().texts(), std::vector<std::string>{"[Ridova][INFO] second"});
}

TEST(LogFallback, LinesFromSeveralThreadsNeverInterleave) {
    StderrCapture capture;
    Ridova_SetLogCallback(nullptr);
    const std::string a(300, 'a');
    const std::string b(300, 'b');
    std::vector<std::thread> threads;
    for (const std::string* text : {&a, &b})
        threads.emplace_back([text] {
            for (int i = 0; i < 20; ++i) karvel::logLine(karvel::kLogDebug, "%s", text->c_str());
        });
    for (std::thread& thread : threads) thread.join();
    const std::string output = capture.take();
    std::size_t lines = 0;
    for (std::size_t start = 0; start < output.size();) {
        const std::size_t end = output.find('\n', start);
        ASSERT_NE(end, std::string::npos);
        const std::string line = output.substr(start, end - start);
        EXPECT_TRUE(line == a || line == b) << line.substr(0, 40);
        ++lines;
        start = end + 1;
    }
    EXPECT_EQ(lines, 40u);
}
