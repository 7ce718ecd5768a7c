// Repeats of identical lines, with the clock in the test's hand.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "RepeatedLineFilter.h"

using karvel::RepeatedLineFilter;

namespace {

constexpr std::int64_t kSecond = 1000000000;

class RepeatedLines : public ::testing::Test {
protected:
    std::vector<std::string> admit(const std::string& line, std::int64_t nowNs) {
        filter.admit(line.c_str(), nowNs, out);
        return passed();
    }
    std::vector<std::string> flush() {
        filter.flush(out);
        return passed();
    }
    std::vector<std::string> passed() const { return {out.lines, out.lines + out.count}; }

    RepeatedLineFilter filter;
    RepeatedLineFilter::Output out;
};

using Lines = std::vector<std::string>;

} // namespace

TEST_F(RepeatedLines, FirstPassesRepeatsAreCountedOncePerSecond) {
    EXPECT_EQ(admit("E sendto error: 101", 0), Lines{"E sendto error: 101"});
    for (int i = 1; i < 1000; ++i) EXPECT_EQ(admit("E sendto error: 101", i * 1000000), Lines{}) << i;
    // 1 s after it last passed: this one passes with the 999 held back and itself.
    EXPECT_EQ(admit("E sendto error: 101", kSecond), Lines{"E sendto error: 101 (repeated 1000 times)"});
    EXPECT_EQ(admit("E sendto error: 101", kSecond + 1), Lines{});
    EXPECT_EQ(flush(), Lines{"E sendto error: 101 (repeated 1 times)"});
    EXPECT_EQ(flush(), Lines{});
    // Flushed lines are forgotten: the next one passes as new.
    EXPECT_EQ(admit("E sendto error: 101", kSecond + 2), Lines{"E sendto error: 101"});
}

TEST_F(RepeatedLines, ARepeatAfterAQuietSecondPassesPlain) {
    EXPECT_EQ(admit("E a", 0), Lines{"E a"});
    EXPECT_EQ(admit("E a", 5 * kSecond), Lines{"E a"});
}

TEST_F(RepeatedLines, LinesTakingTurnsAreEachHeldBack) {
    EXPECT_EQ(admit("E a", 0), Lines{"E a"});
    EXPECT_EQ(admit("E b", 1), Lines{"E b"});
    for (int i = 0; i < 10; ++i) {
        EXPECT_EQ(admit("E a", 2 + i), Lines{});
        EXPECT_EQ(admit("E b", 2 + i), Lines{});
    }
    EXPECT_EQ(flush(), (Lines{"E a (repeated 10 times)", "E b (repeated 10 times)"}));
}

TEST_F(RepeatedLines, ALineGivingUpItsPlaceShowsItsCountFirst) {
    EXPECT_EQ(admit("E old", 0), Lines{"E old"});
    EXPECT_EQ(admit("E old", 1), Lines{});
    // Eight newer lines: the oldest place goes, with the count it held.
    for (int i = 0; i < 7; ++i) admit("E other " + std::to_string(i), 2 + i);
    EXPECT_EQ(admit("E newest", 20), (Lines{"E old (repeated 1 times)", "E newest"}));
}

TEST_F(RepeatedLines, ALineAtTheLengthLimitKeepsItsCount) {
    const std::string longest(1023, 'x');
    EXPECT_EQ(admit(longest, 0), Lines{longest});
    admit(longest, 1);
    const Lines flushed = flush();
    ASSERT_EQ(flushed.size(), 1u);
    const std::string suffix = " (repeated 1 times)";
    EXPECT_EQ(flushed[0], longest.substr(0, 1023 - suffix.size()) + suffix);
}
