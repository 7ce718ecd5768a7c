#include <gtest/gtest.h>

#include <cstdarg>
#include <string>

#include "LineFormat.h"

namespace {

std::string formatted(const char* format, ...) {
    char line[1024];
    va_list arguments;
    va_start(arguments, format);
    karvel::formatLine(line, sizeof line, format, arguments);
    va_end(arguments);
    return line;
}

std::string escaped(const std::string& text) { return formatted("%s", text.c_str()); }

struct Case {
    const char* name;
    std::string text;
    std::string shown;
};

void PrintTo(const Case& c, std::ostream* out) { *out << c.name; }

class LineEscape : public ::testing::TestWithParam<Case> {};

} // namespace

TEST_P(LineEscape, ShowsEachByteAsPrintableText) { EXPECT_EQ(escaped(GetParam().text), GetParam().shown); }

INSTANTIATE_TEST_SUITE_P(
    Cases, LineEscape,
    ::testing::Values(Case{"PlainText", "[Ridova][INFO] udpIp=192.168.15.211 back\\slash", "[Ridova][INFO] udpIp=192.168.15.211 back\\slash"},
                      Case{"LineEnds", "1.2.3.4\n[Ridova][INFO] forged\r\n", "1.2.3.4\\n[Ridova][INFO] forged\\r\\n"},
                      Case{"Tab", "a\tb", "a\\tb"},
                      Case{"TerminalEscape", "\x1b[2J\x1b]0;title\x07", "\\x1B[2J\\x1B]0;title\\x07"},
                      Case{"OtherControls", "\x01\x1f\x7f", "\\x01\\x1F\\x7F"},
                      Case{"Utf8Text", "caf\xc3\xa9 \xe2\x82\xac \xf0\x9f\x98\x80", "caf\xc3\xa9 \xe2\x82\xac \xf0\x9f\x98\x80"},
                      Case{"C1ControlsInUtf8", "\xc2\x85\xc2\x9b", "\\xC2\\x85\\xC2\\x9B"},
                      Case{"LineAndParagraphSeparators", "\xe2\x80\xa8\xe2\x80\xa9", "\\xE2\\x80\\xA8\\xE2\\x80\\xA9"},
                      Case{"LoneEightBitCsi", "\x9b" "31m", "\\x9B31m"},
                      Case{"OverlongForm", "\xc0\xaf", "\\xC0\\xAF"},
                      Case{"Surrogate", "\xed\xa0\x80", "\\xED\\xA0\\x80"},
                      Case{"BeyondUnicode", "\xf4\x90\x80\x80", "\\xF4\\x90\\x80\\x80"},
                      Case{"CutCharacter", "ok\xe2\x82", "ok\\xE2\\x82"}),
    [](const ::testing::TestParamInfo<Case>& entry) { return std::string(entry.param.name); });

// The 1023-character limit holds after escaping; an escape or a character
// that does not fit whole is left out, and so is everything after it.
TEST(LineEscapeLimit, CutsBeforeWhatNoLongerFitsWhole) {
    const std::string a1020(1020, 'a');
    EXPECT_EQ(escaped(a1020 + "\nb"), a1020 + "\\nb");
    EXPECT_EQ(escaped(a1020 + "\nbc"), a1020 + "\\nb");
    EXPECT_EQ(escaped(a1020 + "b\x1b"), a1020 + "b");
    EXPECT_EQ(escaped(a1020 + "\xe2\x82\xac"), a1020 + "\xe2\x82\xac");
    EXPECT_EQ(escaped(a1020 + "a\xe2\x82\xac"), a1020 + "a");
    EXPECT_EQ(formatted("%s and after", (a1020 + "a\x1b").c_str()), a1020 + "a");
    EXPECT_EQ(formatted("%s%s%s", (a1020 + "a\x1b").c_str(), "", "after"), a1020 + "a");
    const std::string many(1023, '\n');
    const std::string shown = escaped(many);
    EXPECT_EQ(shown.size(), 1022u);
    EXPECT_EQ(shown.find('\n'), std::string::npos);
}

// Around host text the line is the library's own; a format the fast path
// hands to the C library is escaped as a whole.
TEST(LineEscapeLimit, OnlyArgumentTextIsEscapedAndTheCLibrarysLinesToo) {
    EXPECT_EQ(formatted("[Ridova][ERROR] invalid IP: %s:%d", "1.2.3.4\n", 7408),
              "[Ridova][ERROR] invalid IP: 1.2.3.4\\n:7408");
    EXPECT_EQ(formatted("[%5s]", "\x1b"), "[    \\x1B]");
}
