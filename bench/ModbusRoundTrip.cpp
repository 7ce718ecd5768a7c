// 4. One Modbus write, request to checked reply, for functions 0x05, 0x06 and
// 0x0F in both framings against a loopback test device, side by side with
// libmodbus's client against the same device (socket framing) in the same run.
#include <benchmark/benchmark.h>
#include <modbus.h>

#include <functional>
#include <vector>

#include "ModbusTcpClient.h"
#include "support/BenchMode.h"
#include "support/ModbusTestServer.h"
#include "support/Stats.h"

namespace karvel::bench {
namespace {

using test::ModbusTestServer;

enum class Write { Coil, Register, Coils };

// Times `write(k)` once per iteration; counts the writes the device did not accept.
void timeWrites(benchmark::State& state, const std::function<bool(long)>& write) {
    std::vector<double> samples;
    samples.reserve(static_cast<std::size_t>(state.max_iterations));
    long k = 0;
    long failed = 0;
    for (auto _ : state) {
        const Clock::time_point start = Clock::now();
        if (!write(k++)) ++failed;
        samples.push_back(microsecondsBetween(start, Clock::now()));
    }
    reportLatency(state, samples);
    state.counters["failed"] = static_cast<double>(failed);
    if (failed > 0) state.SkipWithError("the device refused writes");
}

void ours(benchmark::State& state, bool rtu, Write kind) {
    ModbusTestServer server(rtu ? ModbusTestServer::Framing::Rtu : ModbusTestServer::Framing::Mbap);
    ModbusTcpClient client(rtu);
    if (!client.connect("127.0.0.1", server.port())) {
        state.SkipWithError("cannot connect");
        return;
    }
    timeWrites(state, [&](long k) {
        const bool on = (k & 1) != 0;
        switch (kind) {
        case Write::Coil: return client.writeSingleCoil(4, on);
        case Write::Register: return client.writeSingleRegister(3, static_cast<std::uint16_t>(k & 0xFF));
        case Write::Coils: {
            const bool values[4] = {on, !on, on, !on};
            return client.writeMultipleCoils(4, values, 4);
        }
        }
        return false;
    });
    client.disconnect();
}

void libmodbus(benchmark::State& state, Write kind) {
    ModbusTestServer server(ModbusTestServer::Framing::Mbap);
    modbus_t* context = modbus_new_tcp("127.0.0.1", server.port());
    if (context == nullptr || modbus_set_slave(context, 1) != 0 || modbus_connect(context) != 0) {
        if (context != nullptr) modbus_free(context);
        state.SkipWithError("libmodbus cannot connect");
        return;
    }
    timeWrites(state, [&](long k) {
        const int on = static_cast<int>(k & 1);
        switch (kind) {
        case Write::Coil: return modbus_write_bit(context, 4, on) == 1;
        case Write::Register: return modbus_write_register(context, 3, static_cast<std::uint16_t>(k & 0xFF)) == 1;
        case Write::Coils: {
            const std::uint8_t values[4] = {static_cast<std::uint8_t>(on), static_cast<std::uint8_t>(!on),
                                            static_cast<std::uint8_t>(on), static_cast<std::uint8_t>(!on)};
            return modbus_write_bits(context, 4, 4, values) == 4;
        }
        }
        return false;
    });
    modbus_close(context);
    modbus_free(context);
}

} // namespace

void registerModbusRoundTrip(const BenchMode& mode) {
    const long writes = mode.pick(5000, 200);
    const struct {
        const char* name;
        Write kind;
    } functions[] = {{"0x05", Write::Coil}, {"0x06", Write::Register}, {"0x0F", Write::Coils}};
    for (const auto& function : functions) {
        const std::string suffix = std::string("/") + function.name;
        benchmark::RegisterBenchmark(("modbus/ours_mbap" + suffix).c_str(), ours, false, function.kind)
            ->Iterations(writes)
            ->UseRealTime();
        benchmark::RegisterBenchmark(("modbus/libmodbus_mbap" + suffix).c_str(), libmodbus, function.kind)
            ->Iterations(writes)
            ->UseRealTime();
        benchmark::RegisterBenchmark(("modbus/ours_rtu" + suffix).c_str(), ours, true, function.kind)
            ->Iterations(writes)
            ->UseRealTime();
    }
}

} // namespace karvel::bench
