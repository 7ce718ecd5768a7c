// The soak's verdict on effect jobs rests on reading the library's lines
// right: one outcome per request, whatever the device did.
#include <gtest/gtest.h>

#include "JobLog.h"

namespace karvel::soak {
namespace {

constexpr const char* kStart = "[Ridova][DEBUG] ModbusTcpClient sendRequest slave=1 pduLen=5 (Modbus-TCP)";

struct Counts {
    std::uint64_t started, succeeded, failed;
    bool operator==(const Counts& other) const {
        return started == other.started && succeeded == other.succeeded && failed == other.failed;
    }
};

Counts countsOf(const JobLog& log) {
    return {log.startedRequests(), log.succeededRequests(), log.failedRequests()};
}

TEST(SoakJobLog, EachRequestEndsOnceWhateverItsAttemptsLogged) {
    JobLog log;
    // A first attempt that timed out and a retry that worked: one success,
    // even though the device answered both.
    log.take(kStart);
    log.take("[Ridova][ERROR] ModbusTcpClient readBytes header error. Retry=0");
    log.take("[Ridova][DEBUG] ModbusTcpClient reply received dataLen=6");
    // Both attempts failed; the reconnect in between failed too.
    log.take(kStart);
    log.take("[Ridova][ERROR] ModbusTcpClient invalid RTU response. Retry=0");
    log.take("[Ridova][ERROR] ModbusTcpClient connect failed to 127.0.0.1:502 (error: 111)");
    log.take("[Ridova][ERROR] ModbusTcpClient not connected, reconnect failed");
    // Given up at once, and nothing after that counts for it.
    log.take(kStart);
    log.take("[Ridova][ERROR] ModbusTcpClient invalid dataLen: 42405");
    log.take("[Ridova][ERROR] ModbusTcpClient readBytes header error. Retry=1");
    // A request that failed on its second attempt alone.
    log.take(kStart);
    log.take("[Ridova][ERROR] ModbusTcpClient RTU CRC mismatch: got=0x0000 expected=0x1234");
    log.take("[Ridova][ERROR] ModbusTcpClient invalid RTU response. Retry=0");
    log.take("[Ridova][ERROR] ModbusTcpClient readBytes data error. Expected length=5");
    EXPECT_EQ(countsOf(log), (Counts{4, 1, 3}));
    EXPECT_EQ(log.otherErrors(), 0u);

    // The last request's success is known once the worker has stopped.
    log.take(kStart);
    EXPECT_EQ(countsOf(log), (Counts{5, 1, 3}));
    log.workerStopped();
    log.workerStopped();
    EXPECT_EQ(countsOf(log), (Counts{5, 2, 3}));
}

TEST(SoakJobLog, ErrorsOutsideTheModbusClientAreKeptApart) {
    JobLog log;
    log.take("[Ridova][ERROR] UDPTransportLayer bind failed on fixed source port 8410: 98");
    log.take("[Ridova][ERROR] EffectsController invalid port: relay=0 speed=502");
    log.take("[Ridova][INFO] ModbusTcpClient connected to 127.0.0.1:502 (Modbus-TCP)");
    EXPECT_EQ(log.otherErrors(), 2u);
    EXPECT_EQ(log.firstOtherError(), "[Ridova][ERROR] UDPTransportLayer bind failed on fixed source port 8410: 98");
    EXPECT_EQ(countsOf(log), (Counts{0, 0, 0}));
}

} // namespace
} // namespace karvel::soak
