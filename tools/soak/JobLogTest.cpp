// The soak's verdict on Modbus requests rests on reading the library's lines
// right, while both effects devices' workers log at once.
#include <gtest/gtest.h>

#include "JobLog.h"

namespace karvel::soak {
namespace {

constexpr const char* kRelayStart = "[Ridova][DEBUG] ModbusTcpClient sendRequest slave=1 pduLen=5 (Modbus-TCP)";
constexpr const char* kFanStart = "[Ridova][DEBUG] ModbusTcpClient sendRequest slave=1 pduLen=5 (RTU-over-TCP)";

struct Counts {
    std::uint64_t started, succeeded, failed;
    bool operator==(const Counts& other) const {
        return started == other.started && succeeded == other.succeeded && failed == other.failed;
    }
};

Counts countsOf(const JobLog& log) {
    return {log.startedRequests(), log.succeededRequests(), log.failedRequests()};
}

TEST(SoakJobLog, EachFailedRequestCountsOnceWhateverItsAttemptsLogged) {
    JobLog log;
    // Both devices' requests interleave. The relay board's first attempt timed
    // out and its retry worked; the fan's both failed, and a later one of the
    // relay board met a refusal.
    log.take(kRelayStart);
    log.take(kFanStart);
    log.take("[Ridova][ERROR] ModbusTcpClient readBytes header error. Retry=0");
    log.take("[Ridova][ERROR] ModbusTcpClient invalid RTU response. Retry=0");
    log.take("[Ridova][DEBUG] ModbusTcpClient reply received dataLen=5");
    log.take("[Ridova][ERROR] ModbusTcpClient RTU CRC mismatch: got=0x0000 expected=0x1234");
    log.take("[Ridova][ERROR] ModbusTcpClient invalid RTU response. Retry=1");
    log.take("[Ridova][ERROR] ModbusTcpClient request failed: fan speed controller, write single register (0x06): "
             "reply CRC mismatch");
    log.take(kRelayStart);
    log.take("[Ridova][ERROR] ModbusTcpClient request failed: relay board, write single coil (0x05): exception 0x04 "
             "(server device failure), not retried");
    EXPECT_EQ(countsOf(log), (Counts{3, 1, 2}));
    // A device that stays down: its failures repeat word for word, and the
    // library passes the repeats on as one line with their count.
    for (int i = 0; i < 4; ++i) log.take(kFanStart);
    log.take("[Ridova][ERROR] ModbusTcpClient request failed: fan speed controller, write single register (0x06): not "
             "connected");
    log.take("[Ridova][ERROR] ModbusTcpClient request failed: fan speed controller, write single register (0x06): not "
             "connected (repeated 3 times)");
    EXPECT_EQ(countsOf(log), (Counts{7, 1, 6}));
    EXPECT_EQ(log.otherErrors(), 0u);
}

TEST(SoakJobLog, ErrorsOutsideTheEffectsDevicesAreKeptApart) {
    JobLog log;
    log.take("[Ridova][ERROR] UDPTransportLayer bind failed on fixed source port 8410: 98");
    log.take("[Ridova][ERROR] EffectsController invalid port: relay=0 speed=502");
    log.take("[Ridova][INFO] ModbusTcpClient connected to 127.0.0.1:502 (Modbus-TCP)");
    // A device that fails is the soak's doing, not an error of the library.
    log.take("[Ridova][ERROR] EffectsController relay board not answering at 127.0.0.1:502: keeping its latest effect "
             "levels, trying again every 1000 ms");
    log.take("[Ridova][ERROR] EffectsController stop time-out: 1 queued effect jobs not sent to the fan speed controller");
    log.take("[Ridova][ERROR] ModbusTcpClient connect failed to 127.0.0.1:502 (error: 111)");
    EXPECT_EQ(log.otherErrors(), 2u);
    EXPECT_EQ(log.firstOtherError(), "[Ridova][ERROR] UDPTransportLayer bind failed on fixed source port 8410: 98");
    EXPECT_EQ(countsOf(log), (Counts{0, 0, 0}));
}

} // namespace
} // namespace karvel::soak
