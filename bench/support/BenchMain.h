// The common main: takes --short out of the arguments, lets each program
// register its benchmarks for that mode, then hands over to Google Benchmark.
#pragma once

#include "BenchMode.h"

namespace karvel::bench {

// Defined by each benchmark program.
void registerBenchmarks(const BenchMode& mode);

} // namespace karvel::bench
