#include <gtest/gtest.h>

#include <string>

#include "LogSink.h"
#include "support/LogCapture.h"

using karvel::LogSink;
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
