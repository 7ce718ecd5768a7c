// Full runs for the results table, short runs (a few seconds) for CI.
#pragma once

namespace karvel::bench {

struct BenchMode {
    bool shortRun = false;
    // `full` in a full run, `brief` in a short one.
    long pick(long full, long brief) const { return shortRun ? brief : full; }
};

} // namespace karvel::bench
