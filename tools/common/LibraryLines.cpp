#include "LibraryLines.h"

#include <cstdlib>
#include <cstring>

namespace karvel::tools {

std::uint64_t framesGivenWay(const char* line) {
    static constexpr char kFellBehind[] = "[Ridova][ERROR] UDPTransportLayer fell behind: ";
    if (line == nullptr || std::strncmp(line, kFellBehind, sizeof kFellBehind - 1) != 0) return 0;
    return std::strtoull(line + sizeof kFellBehind - 1, nullptr, 10);
}

} // namespace karvel::tools
