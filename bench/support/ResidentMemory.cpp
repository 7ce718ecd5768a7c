#include "ResidentMemory.h"

#include <unistd.h>

#include <fstream>

namespace karvel::bench {

long residentBytes() {
    std::ifstream statm("/proc/self/statm");
    long sizePages = 0;
    long residentPages = 0;
    if (!(statm >> sizePages >> residentPages)) return -1;
    return residentPages * sysconf(_SC_PAGESIZE);
}

} // namespace karvel::bench
