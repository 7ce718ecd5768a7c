#include "BenchMain.h"

#include <benchmark/benchmark.h>

#include <cstring>
#include <vector>

int main(int argc, char** argv) {
    karvel::bench::BenchMode mode;
    std::vector<char*> arguments;
    for (int i = 0; i < argc; ++i) {
        if (std::strcmp(argv[i], "--short") == 0) {
            mode.shortRun = true;
        } else {
            arguments.push_back(argv[i]);
        }
    }
    int count = static_cast<int>(arguments.size());
    arguments.push_back(nullptr);
    karvel::bench::registerBenchmarks(mode);
    benchmark::Initialize(&count, arguments.data());
    if (benchmark::ReportUnrecognizedArguments(count, arguments.data())) return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
