// What a host reads back from the library's log lines.
#pragma once

#include <cstdint>

namespace karvel::tools {

// The motion frames that a "[Ridova][ERROR] UDPTransportLayer fell behind: N
// stale frames dropped, ..." line says gave way to newer ones (N); 0 for any
// other line. Such frames never left the library.
std::uint64_t framesGivenWay(const char* line);

} // namespace karvel::tools
