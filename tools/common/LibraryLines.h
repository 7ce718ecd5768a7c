// What a host reads back from the library's log lines.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace karvel::tools {

// The motion frames that a "[Ridova][ERROR] UDPTransportLayer fell behind: N
// stale frames dropped, ..." line says gave way to newer ones (N); 0 for any
// other line. Such frames never left the library.
std::uint64_t framesGivenWay(const char* line);

// Why the library refused a call, from the ERROR lines it wrote during it:
// the first, which names the cause (later ones sum it up), without its
// level tag, and for a port the seat's sender could not bind what to check.
std::string refusalCause(const std::vector<std::string>& errorLines);

} // namespace karvel::tools
