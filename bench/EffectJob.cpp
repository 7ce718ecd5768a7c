// 5. Effect call to device state changed, through the effects controller and
// the device's own queue and worker: the heater on the relay board
// ("Modbus-TCP") and the wind on the fan speed controller ("RTU-over-TCP").
#include <benchmark/benchmark.h>

#include <vector>

#include "EffectsController.h"
#include "support/BenchMode.h"
#include "support/ModbusTestServer.h"
#include "support/Stats.h"

namespace karvel::bench {
namespace {

using test::ModbusTestServer;

void effectJob(benchmark::State& state, bool wind) {
    ModbusTestServer relay(ModbusTestServer::Framing::Mbap);
    ModbusTestServer speed(ModbusTestServer::Framing::Rtu);
    EffectsController controller;
    if (!controller.initialize({"127.0.0.1", relay.port(), "127.0.0.1", speed.port()})) {
        state.SkipWithError("effects controller cannot connect");
        return;
    }
    std::vector<double> samples;
    samples.reserve(static_cast<std::size_t>(state.max_iterations));
    long k = 0;
    long missed = 0;
    for (auto _ : state) {
        const bool odd = (k++ & 1) != 0;
        const Clock::time_point start = Clock::now();
        bool changed = false;
        if (wind) {
            const int level = odd ? 2 : 1;
            controller.setWindSpeed(level);
            const std::uint16_t wanted = EffectsController::fanSpeedForLevel(level);
            changed = speed.waitUntil(
                [&] { return speed.holdingRegister(EffectsDevice::kFanSpeedRegister) == wanted; }, 2000);
        } else {
            controller.setHeater(odd);
            changed = relay.waitUntil([&] { return relay.coil(EffectsDevice::kHeaterCoil) == odd; }, 2000);
        }
        if (changed) {
            samples.push_back(microsecondsBetween(start, Clock::now()));
        } else {
            ++missed;
        }
    }
    controller.shutdown();
    reportLatency(state, samples);
    state.counters["missed"] = static_cast<double>(missed);
    if (missed > 0) state.SkipWithError("the device state did not change");
}

} // namespace

void registerEffectJob(const BenchMode& mode) {
    const long jobs = mode.pick(3000, 100);
    benchmark::RegisterBenchmark("effect_job/heater_mbap", effectJob, false)->Iterations(jobs)->UseRealTime();
    benchmark::RegisterBenchmark("effect_job/wind_rtu", effectJob, true)->Iterations(jobs)->UseRealTime();
}

} // namespace karvel::bench
