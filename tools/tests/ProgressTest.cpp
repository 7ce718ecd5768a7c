// The progress of a long task: elsewhere than on a terminal a line every five
// seconds however long it runs, with the time gone and the time left; on a
// terminal a bar redrawn at most ten times a second, its last state always
// drawn, and none for a task over before the bar was due.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "Progress.h"

namespace karvel::cli {
namespace {

struct Seen {
    std::vector<std::string> lines, bars;
    int ended = 0;
    ProgressOutput output() {
        return {[this](const std::string& line) { lines.push_back(line); },
                [this](const std::string& bar) { bars.push_back(bar); }, [this] { ++ended; }};
    }
};

// A task of `seconds` reported every 10 ms of it, 100 units a second.
void runTask(Progress& progress, double seconds) {
    const auto total = static_cast<std::uint64_t>(seconds * 100);
    for (std::uint64_t done = 1; done <= total; ++done) {
        const double elapsed = static_cast<double>(done) / 100;
        if (progress.due(elapsed, done == total))
            progress.show({done, total, elapsed, static_cast<double>(total - done) / 100, "units"});
    }
}

TEST(Progress, ALineEveryFiveSecondsWhenNotOnATerminal) {
    Seen seen;
    {
        Progress progress("replay", false, 0, seen.output());
        runTask(progress, 22);
    }
    ASSERT_EQ(seen.lines.size(), 4u) << "at 5, 10, 15 and 20 s";
    EXPECT_EQ(seen.lines[0], "replay:  22% 0:05 elapsed, 0:17 left, units");
    EXPECT_EQ(seen.lines[3], "replay:  90% 0:20 elapsed, 0:02 left, units");
    EXPECT_TRUE(seen.bars.empty());
    EXPECT_EQ(seen.ended, 0);
}

TEST(Progress, ABarAtMostTenTimesASecondWithItsLastStateOnATerminal) {
    Seen seen;
    {
        Progress progress("replay", true, 0, seen.output());
        runTask(progress, 3.005);
    }
    EXPECT_TRUE(seen.lines.empty());
    EXPECT_GE(seen.bars.size(), 29u);
    EXPECT_LE(seen.bars.size(), 32u);
    EXPECT_NE(seen.bars.back().find("100% 0:03 elapsed, 0:00 left, units"), std::string::npos) << seen.bars.back();
    EXPECT_EQ(seen.bars.back().rfind("[####", 0), 0u) << seen.bars.back();
    EXPECT_EQ(seen.ended, 1);
}

TEST(Progress, NoBarForATaskOverBeforeItWasDue) {
    Seen seen;
    {
        Progress progress("karvel", true, 0.5, seen.output());
        runTask(progress, 0.3);
    }
    EXPECT_TRUE(seen.bars.empty());
    EXPECT_EQ(seen.ended, 0);
}

TEST(Progress, TimeLeftFromThePaceWhenTheTaskDoesNotKnowIt) {
    // A quarter done in 30 s: 90 s to go.
    EXPECT_EQ(progressText({25, 100, 30, -1, "read 25 of 100 MB"}), " 25% 0:30 elapsed, 1:30 left, read 25 of 100 MB");
    EXPECT_EQ(progressText({0, 100, 2, -1, ""}), "  0% 0:02 elapsed, time left unknown");
}

TEST(Progress, ClockTextGrowsHoursPastTheHour) {
    EXPECT_EQ(clockText(0), "0:00");
    EXPECT_EQ(clockText(59.6), "1:00");
    EXPECT_EQ(clockText(754), "12:34");
    EXPECT_EQ(clockText(45400), "12:36:40");
}

} // namespace
} // namespace karvel::cli
