// libmodbus, a Modbus client we did not write, against the virtual relay
// board: what it writes must stand on the coils, what it reads must be what
// they hold, and the board's exceptions must reach it as the protocol's.
#include <gtest/gtest.h>

#include <modbus.h>

#include <cerrno>
#include <memory>

#include "SimFixture.h"

namespace karvel::tools::test {
namespace {

struct ContextFree {
    void operator()(modbus_t* context) const {
        modbus_close(context);
        modbus_free(context);
    }
};

TEST(IndependentModbusClient, LibmodbusWritesAndReadsTheRelayBoard) {
    sim::VirtualSeat seat(loopbackSeat(KarvelSeat::OrvidaSeat));
    std::unique_ptr<modbus_t, ContextFree> client(modbus_new_tcp("127.0.0.1", seat.ports().relay));
    ASSERT_TRUE(client);
    modbus_set_slave(client.get(), 1);
    ASSERT_EQ(modbus_connect(client.get()), 0) << modbus_strerror(errno);

    EXPECT_EQ(modbus_write_bit(client.get(), 15, 1), 1) << modbus_strerror(errno); // heater
    const std::uint8_t mist[] = {1, 0, 1, 0};                                     // coils 4..7: on, small water
    EXPECT_EQ(modbus_write_bits(client.get(), 4, 4, mist), 4) << modbus_strerror(errno);
    std::uint8_t coils[16] = {};
    ASSERT_EQ(modbus_read_bits(client.get(), 0, 16, coils), 16) << modbus_strerror(errno);
    const std::uint8_t expected[16] = {0, 0, 0, 0, 1, 0, 1, 0, 0, 0, 0, 0, 0, 0, 0, 1};
    for (int i = 0; i < 16; ++i) EXPECT_EQ(coils[i], expected[i]) << "coil " << i;

    EXPECT_EQ(modbus_write_bit(client.get(), 16, 1), -1);
    EXPECT_EQ(errno, EMBXILADD) << modbus_strerror(errno);
    std::uint16_t registers[1];
    EXPECT_EQ(modbus_read_registers(client.get(), 0, 1, registers), -1) << "the relay board has no registers";
    EXPECT_EQ(errno, EMBXILADD) << modbus_strerror(errno);

    const sim::SimSnapshot s = seat.waitFor([](const sim::SimSnapshot& x) { return x.relay.requests == 5; }, kDeadline);
    EXPECT_EQ(s.effects.mistLevel, 2);
    EXPECT_TRUE(s.effects.heater);
    EXPECT_EQ(s.relay.malformed, 0u);
}

} // namespace
} // namespace karvel::tools::test
