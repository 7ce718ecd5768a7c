// The effects side, in-process against loopback test devices: items 4 and 5.
#include "Karvel.h"
#include "support/BenchMain.h"

namespace karvel::bench {
namespace {
void ignoreLine(int, const char*) {}
} // namespace

void registerModbusRoundTrip(const BenchMode& mode);
void registerEffectJob(const BenchMode& mode);

void registerBenchmarks(const BenchMode& mode) {
    // The statically linked library logs through its own sink; keep it quiet (the lines are still formatted).
    Ridova_SetLogCallback(&ignoreLine);
    registerModbusRoundTrip(mode);
    registerEffectJob(mode);
}

} // namespace karvel::bench
