// A Modbus slave's answers, request PDU by request PDU, against bytes worked
// out by hand from the protocol: a relay board of 16 coils and a speed
// controller of 8 holding registers.
#include <gtest/gtest.h>

#include <cctype>
#include <ostream>
#include <string>
#include <vector>

#include "ModbusSlave.h"

namespace karvel::sim {
namespace {

using Bytes = std::vector<std::uint8_t>;

struct Exchange {
    const char* what;
    Bytes request, reply;
};

void PrintTo(const Exchange& exchange, std::ostream* out) { *out << exchange.what; }

class ModbusSlaveAnswers : public ::testing::TestWithParam<Exchange> {};

// Coils 0..15 start as 1010 0000 0000 0001 (coils 0, 2 and 15 on); registers 0..7 as 0, 10, 20, ... 70.
DeviceMemory device() {
    DeviceMemory memory;
    memory.coils.assign(16, false);
    memory.coils[0] = memory.coils[2] = memory.coils[15] = true;
    for (std::uint16_t i = 0; i < 8; ++i) memory.registers.push_back(static_cast<std::uint16_t>(10 * i));
    return memory;
}

TEST_P(ModbusSlaveAnswers, AsTheProtocolSays) {
    DeviceMemory memory = device();
    const Exchange& e = GetParam();
    EXPECT_EQ(answerRequest(e.request.data(), e.request.size(), memory), e.reply);
}

INSTANTIATE_TEST_SUITE_P(
    Requests, ModbusSlaveAnswers,
    ::testing::Values(
        Exchange{"coils 0..15 packed low bit first", {0x01, 0x00, 0x00, 0x00, 0x10}, {0x01, 0x02, 0x05, 0x80}},
        Exchange{"coils 2..4: one byte", {0x01, 0x00, 0x02, 0x00, 0x03}, {0x01, 0x01, 0x01}},
        Exchange{"coils past the map", {0x01, 0x00, 0x0F, 0x00, 0x02}, {0x81, 0x02}},
        Exchange{"no coils asked for", {0x01, 0x00, 0x00, 0x00, 0x00}, {0x81, 0x03}},
        Exchange{"2001 coils: beyond the protocol", {0x01, 0x00, 0x00, 0x07, 0xD1}, {0x81, 0x03}},
        Exchange{"no discrete inputs", {0x02, 0x00, 0x00, 0x00, 0x01}, {0x82, 0x02}},
        Exchange{"registers 3..4", {0x03, 0x00, 0x03, 0x00, 0x02}, {0x03, 0x04, 0x00, 0x1E, 0x00, 0x28}},
        Exchange{"126 registers: beyond the protocol", {0x03, 0x00, 0x00, 0x00, 0x7E}, {0x83, 0x03}},
        Exchange{"no input registers", {0x04, 0x00, 0x00, 0x00, 0x01}, {0x84, 0x02}},
        Exchange{"coil 4 on: echoed", {0x05, 0x00, 0x04, 0xFF, 0x00}, {0x05, 0x00, 0x04, 0xFF, 0x00}},
        Exchange{"coil value neither on nor off", {0x05, 0x00, 0x04, 0x12, 0x34}, {0x85, 0x03}},
        Exchange{"coil 16: no such relay", {0x05, 0x00, 0x10, 0xFF, 0x00}, {0x85, 0x02}},
        Exchange{"register 3 = 100: echoed", {0x06, 0x00, 0x03, 0x00, 0x64}, {0x06, 0x00, 0x03, 0x00, 0x64}},
        Exchange{"register 8: outside", {0x06, 0x00, 0x08, 0x00, 0x01}, {0x86, 0x02}},
        Exchange{"coils 8..10 = 1 0 1", {0x0F, 0x00, 0x08, 0x00, 0x03, 0x01, 0x05}, {0x0F, 0x00, 0x08, 0x00, 0x03}},
        Exchange{"coils with a byte count too short", {0x0F, 0x00, 0x00, 0x00, 0x09, 0x01, 0xFF}, {0x8F, 0x03}},
        Exchange{"coils 14..17: past the map", {0x0F, 0x00, 0x0E, 0x00, 0x04, 0x01, 0x0F}, {0x8F, 0x02}},
        Exchange{"registers 6..7", {0x10, 0x00, 0x06, 0x00, 0x02, 0x04, 0x00, 0x01, 0x00, 0x02},
                 {0x10, 0x00, 0x06, 0x00, 0x02}},
        Exchange{"registers: byte count not twice the quantity", {0x10, 0x00, 0x00, 0x00, 0x01, 0x04, 0, 1, 0, 2},
                 {0x90, 0x03}},
        Exchange{"a function it lacks (read device identification)", {0x2B, 0x0E, 0x01, 0x00}, {0xAB, 0x01}},
        Exchange{"mask write register: not on these devices", {0x16, 0x00, 0x03, 0xFF, 0xFF, 0x00, 0x00},
                 {0x96, 0x01}}),
    [](const ::testing::TestParamInfo<Exchange>& param) {
        std::string name;
        for (const char* c = param.param.what; *c != '\0'; ++c) name += std::isalnum(static_cast<unsigned char>(*c)) ? *c : '_';
        return name;
    });

TEST(ModbusSlave, WritesChangeTheMemoryAndRefusedOnesLeaveItAlone) {
    DeviceMemory memory = device();
    const Bytes coils = {0x0F, 0x00, 0x08, 0x00, 0x03, 0x01, 0x05};
    answerRequest(coils.data(), coils.size(), memory);
    EXPECT_TRUE(memory.coils[8]);
    EXPECT_FALSE(memory.coils[9]);
    EXPECT_TRUE(memory.coils[10]);
    const Bytes registers = {0x10, 0x00, 0x06, 0x00, 0x02, 0x04, 0x12, 0x34, 0xAB, 0xCD};
    answerRequest(registers.data(), registers.size(), memory);
    EXPECT_EQ(memory.registers[6], 0x1234);
    EXPECT_EQ(memory.registers[7], 0xABCD);

    const DeviceMemory before = memory;
    const Bytes pastTheEnd = {0x0F, 0x00, 0x0E, 0x00, 0x04, 0x01, 0x0F};
    answerRequest(pastTheEnd.data(), pastTheEnd.size(), memory);
    const Bytes badValue = {0x05, 0x00, 0x01, 0x00, 0x01};
    answerRequest(badValue.data(), badValue.size(), memory);
    EXPECT_EQ(memory.coils, before.coils) << "a refused write changes nothing";
    EXPECT_EQ(memory.registers, before.registers);
}

} // namespace
} // namespace karvel::sim
