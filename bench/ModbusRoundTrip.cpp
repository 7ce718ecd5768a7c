// 4. One Modbus write, request to checked reply, for functions 0x05, 0x06 and
// 0x0F in both framings against a loopback test device, side by side with
// libmodbus's client against the same device (socket framing) in the same run.
#include <benchmark/benchmark.h>
#include <modbus.h>

#include <functional>
#include <string>
#include <vector>

#include "ModbusTcpClient.h"
#include "support/BenchMode.h"
#include "support/ModbusTestServer.h"
#include "support/Stats.h"

namespace karvel::bench {
namespace {

using test::ModbusTestServer;

enum class Write { Coil, Register, Coils };

using WriteFunction = std::function<bool(long)>;

// One client's writes, one sample per call.
struct Series {
    std::vector<double> samples;
    long failed = 0;

    void time(const WriteFunction& write, long k) {
        const Clock::time_point start = Clock::now();
        if (!write(k)) ++failed;
        samples.push_back(microsecondsBetween(start, Clock::now()));
    }
};

// Our client for one framing, connected to its own test device.
class OurClient {
public:
    OurClient(bool rtu, Write kind)
        : server_(rtu ? ModbusTestServer::Framing::Rtu : ModbusTestServer::Framing::Mbap),
          client_(rtu ? modbus::kRtuOverTcp : modbus::kModbusTcp, "test device"), kind_(kind) {
        connected_ = client_.connect("127.0.0.1", server_.port());
    }
    ~OurClient() { client_.disconnect(); }
    OurClient(const OurClient&) = delete;
    OurClient& operator=(const OurClient&) = delete;

    bool connected() const { return connected_; }
    bool write(long k) {
        const bool on = (k & 1) != 0;
        switch (kind_) {
        case Write::Coil: return client_.writeSingleCoil(4, on).accepted();
        case Write::Register: return client_.writeSingleRegister(3, static_cast<std::uint16_t>(k & 0xFF)).accepted();
        case Write::Coils: {
            const bool values[4] = {on, !on, on, !on};
            return client_.writeMultipleCoils(4, values, 4).accepted();
        }
        }
        return false;
    }

private:
    ModbusTestServer server_;
    ModbusTcpClient client_;
    const Write kind_;
    bool connected_ = false;
};

// libmodbus's client ("Modbus-TCP" only), connected to its own test device.
class LibmodbusClient {
public:
    explicit LibmodbusClient(Write kind)
        : server_(ModbusTestServer::Framing::Mbap), context_(modbus_new_tcp("127.0.0.1", server_.port())), kind_(kind) {
        connected_ = context_ != nullptr && modbus_set_slave(context_, 1) == 0 && modbus_connect(context_) == 0;
    }
    ~LibmodbusClient() {
        if (context_ == nullptr) return;
        modbus_close(context_);
        modbus_free(context_);
    }
    LibmodbusClient(const LibmodbusClient&) = delete;
    LibmodbusClient& operator=(const LibmodbusClient&) = delete;

    bool connected() const { return connected_; }
    bool write(long k) {
        const int on = static_cast<int>(k & 1);
        switch (kind_) {
        case Write::Coil: return modbus_write_bit(context_, 4, on) == 1;
        case Write::Register: return modbus_write_register(context_, 3, static_cast<std::uint16_t>(k & 0xFF)) == 1;
        case Write::Coils: {
            const std::uint8_t values[4] = {static_cast<std::uint8_t>(on), static_cast<std::uint8_t>(!on),
                                            static_cast<std::uint8_t>(on), static_cast<std::uint8_t>(!on)};
            return modbus_write_bits(context_, 4, 4, values) == 4;
        }
        }
        return false;
    }

private:
    ModbusTestServer server_;
    modbus_t* context_;
    const Write kind_;
    bool connected_ = false;
};

void reportSeries(benchmark::State& state, const std::string& prefix, const Series& series) {
    const Summary summary = summarize(series.samples);
    state.counters[prefix + "median_us"] = summary.median;
    state.counters[prefix + "p99_us"] = summary.p99;
    state.counters[prefix + "failed"] = static_cast<double>(series.failed);
}

// "Modbus-TCP": our client and libmodbus's, call by call in turn, so that
// the shared machine's noise falls on both alike.
void socketFramingPair(benchmark::State& state, Write kind) {
    OurClient ours(false, kind);
    LibmodbusClient theirs(kind);
    if (!ours.connected() || !theirs.connected()) {
        state.SkipWithError("cannot connect");
        return;
    }
    Series ourSeries, theirSeries;
    long k = 0;
    for (auto _ : state) {
        ourSeries.time([&](long n) { return ours.write(n); }, k);
        theirSeries.time([&](long n) { return theirs.write(n); }, k);
        ++k;
    }
    reportSeries(state, "ours_", ourSeries);
    reportSeries(state, "libmodbus_", theirSeries);
    if (ourSeries.failed + theirSeries.failed > 0) state.SkipWithError("the device refused writes");
}

// "RTU-over-TCP": our client alone (libmodbus has no client for this framing).
void rtuFraming(benchmark::State& state, Write kind) {
    OurClient ours(true, kind);
    if (!ours.connected()) {
        state.SkipWithError("cannot connect");
        return;
    }
    Series series;
    long k = 0;
    for (auto _ : state) series.time([&](long n) { return ours.write(n); }, k++);
    reportSeries(state, "ours_", series);
    if (series.failed > 0) state.SkipWithError("the device refused writes");
}

} // namespace

void registerModbusRoundTrip(const BenchMode& mode) {
    const long writes = mode.pick(2000, 200);
    // The loopback exchanges swing with where the scheduler puts the device
    // threads; the table takes the median over repetitions.
    const int repetitions = static_cast<int>(mode.pick(7, 1));
    const struct {
        const char* name;
        Write kind;
    } functions[] = {{"0x05", Write::Coil}, {"0x06", Write::Register}, {"0x0F", Write::Coils}};
    for (const auto& function : functions) {
        const std::string suffix = std::string("/") + function.name;
        benchmark::RegisterBenchmark(("modbus/mbap" + suffix).c_str(), socketFramingPair, function.kind)
            ->Iterations(writes)
            ->Repetitions(repetitions)
            ->ReportAggregatesOnly(true)
            ->UseRealTime();
        benchmark::RegisterBenchmark(("modbus/rtu" + suffix).c_str(), rtuFraming, function.kind)
            ->Iterations(writes)
            ->Repetitions(repetitions)
            ->ReportAggregatesOnly(true)
            ->UseRealTime();
    }
}

} // namespace karvel::bench
