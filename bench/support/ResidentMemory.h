// The process's resident set size, from /proc/self/statm.
#pragma once

namespace karvel::bench {

// Resident bytes, or -1 when statm cannot be read.
long residentBytes();

} // namespace karvel::bench
