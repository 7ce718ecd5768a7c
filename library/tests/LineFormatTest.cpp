// The log line formatter against the C library's own snprintf, the text every
// log line had before: the library's own line formats, numbers the kinematics
// meet, the edges of each conversion, and truncation.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdarg>
#include <cstdio>
#include <limits>
#include <random>
#include <string>

#include "LineFormat.h"
#include "LogSink.h"

namespace karvel {
namespace {

std::string ours(std::size_t size, const char* format, ...) KARVEL_PRINTF(2, 3);
std::string ours(std::size_t size, const char* format, ...) {
    std::string line(size, '#');
    va_list arguments;
    va_start(arguments, format);
    formatLine(&line[0], size, format, arguments);
    va_end(arguments);
    return line.c_str();
}

std::string theirs(std::size_t size, const char* format, ...) KARVEL_PRINTF(2, 3);
std::string theirs(std::size_t size, const char* format, ...) {
    std::string line(size, '#');
    va_list arguments;
    va_start(arguments, format);
    std::vsnprintf(&line[0], size, format, arguments);
    va_end(arguments);
    return line.c_str();
}

#define EXPECT_LIKE_SNPRINTF(format, ...) \
    EXPECT_EQ(ours(1024, format, __VA_ARGS__), theirs(1024, format, __VA_ARGS__))

TEST(LineFormat, TheLibrarysLinesReadAsSnprintfWroteThem) {
    EXPECT_LIKE_SNPRINTF("[Ridova][DEBUG] sendSeatPosture: pitch=%.2f, roll=%.2f, yaw=%.2f, height=%.2f, type=%d", 12.345,
                         -7.005, 179.999, -0.004, 2);
    EXPECT_LIKE_SNPRINTF("[Ridova][DEBUG] SeatAlgorithm::calculatePulse [type=%d] normPos=%.2f -> length=%.2f -> pulse=%d",
                         1, 0.125, 87.5, -2147483647 - 1);
    EXPECT_LIKE_SNPRINTF("[Ridova][INFO] [UDP TX] socket-send-ok (not device ACK) #%llu dst=%s:%u bytes=%d | HEX=%s",
                         18446744073709551615ull, "127.0.0.1", 65535u, 50, "55 AA 00");
    EXPECT_LIKE_SNPRINTF("[Ridova][ERROR] ModbusTcpClient RTU CRC mismatch: got=0x%04X expected=0x%04X", 0xBEEFu, 0x1u);
    EXPECT_LIKE_SNPRINTF("[Ridova][ERROR] ModbusTcpClient unsupported RTU function: 0x%02X", 0xABCu);
    EXPECT_LIKE_SNPRINTF("%d%% done, %s", 100, "");
    EXPECT_LIKE_SNPRINTF("%s", "no conversion after this: 100%");
}

TEST(LineFormat, FixedPointRoundsAsSnprintfDoes) {
    const double special[] = {0.0, -0.0, 0.005, 0.015, 0.125, 0.375, 2.675, -2.675, 1e-300, 1e21, -1e300,
                              std::numeric_limits<double>::max(), std::numeric_limits<double>::denorm_min(),
                              std::numeric_limits<double>::infinity(), -std::numeric_limits<double>::infinity(),
                              std::numeric_limits<double>::quiet_NaN(), -std::numeric_limits<double>::quiet_NaN()};
    for (double value : special) {
        EXPECT_LIKE_SNPRINTF("%.2f", value);
        EXPECT_LIKE_SNPRINTF("%.0f|%.6f|%.17f", value, value, value);
    }
    // Postures, lengths and pulses as floats widened to double, as they reach the lines.
    std::mt19937 random(8410);
    std::uniform_real_distribution<float> wide(-400000.0f, 400000.0f);
    std::uniform_real_distribution<float> narrow(-2.0f, 2.0f);
    for (int i = 0; i < 20000; ++i) {
        const double a = wide(random);
        const double b = narrow(random);
        ASSERT_EQ(ours(64, "%.2f %.2f", a, b), theirs(64, "%.2f %.2f", a, b));
    }
    // Doubles of every size, and halves of hundredths, the ties.
    std::uniform_real_distribution<double> exponent(-30.0, 30.0);
    std::uniform_int_distribution<long> hundredths(-99999999, 99999999);
    for (int i = 0; i < 20000; ++i) {
        const double a = std::pow(10.0, exponent(random)) * (narrow(random) > 0 ? 1 : -1);
        const double tie = (static_cast<double>(hundredths(random)) + 0.5) / 100.0;
        const auto tieAsFloat = static_cast<double>(static_cast<float>(tie));
        ASSERT_EQ(ours(400, "%.2f %.2f %.2f", a, tie, tieAsFloat), theirs(400, "%.2f %.2f %.2f", a, tie, tieAsFloat));
    }
}

TEST(LineFormat, OtherConversionsGoToSnprintfWhole) {
    EXPECT_LIKE_SNPRINTF("%5d|%-4s|%x|%.3s", 42, "ab", 255u, "abcdef");
    EXPECT_LIKE_SNPRINTF("%.2f then %ld then %e", 1.5, 7L, 2.5);
    EXPECT_LIKE_SNPRINTF("%4X|%08.3f", 0xAu, 3.14159);
}

TEST(LineFormat, ALongLineIsCutAtTheBufferAsSnprintfCutsIt) {
    const std::string hex(1500, 'F');
    EXPECT_EQ(ours(1024, "HEX=%s end %.2f", hex.c_str(), 1.0), theirs(1024, "HEX=%s end %.2f", hex.c_str(), 1.0));
    for (std::size_t size : {1u, 2u, 5u, 9u, 12u}) {
        EXPECT_EQ(ours(size, "pitch=%.2f type=%d", -12.5, 3), theirs(size, "pitch=%.2f type=%d", -12.5, 3)) << size;
    }
    const char* volatile missing = nullptr; // a null text, as the C library prints it
    EXPECT_EQ(ours(1024, "%s", missing), "(null)");
}

} // namespace
} // namespace karvel
