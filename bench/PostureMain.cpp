// The motion path through the real shared library, loaded by path: items 1 to 3.
#include "support/BenchMain.h"

namespace karvel::bench {

void registerCallerCost(const BenchMode& mode);
void registerPostureLatency(const BenchMode& mode);
void registerPostureStream(const BenchMode& mode);

void registerBenchmarks(const BenchMode& mode) {
    registerCallerCost(mode);
    registerPostureLatency(mode);
    registerPostureStream(mode);
}

} // namespace karvel::bench
