// The motion runtime of the engine plugin's core module, driving the real shared library loaded by path: item 8.
#include "support/BenchMain.h"

namespace karvel::bench {

void registerRuntimeBenchmarks(const BenchMode& mode);

void registerBenchmarks(const BenchMode& mode) { registerRuntimeBenchmarks(mode); }

} // namespace karvel::bench
