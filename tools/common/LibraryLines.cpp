#include "LibraryLines.h"

#include <cstdlib>
#include <cstring>

namespace karvel::tools {

namespace {
constexpr char kErrorTag[] = "[Ridova][ERROR] ";
} // namespace

std::uint64_t framesGivenWay(const char* line) {
    static constexpr char kFellBehind[] = "[Ridova][ERROR] UDPTransportLayer fell behind: ";
    if (line == nullptr || std::strncmp(line, kFellBehind, sizeof kFellBehind - 1) != 0) return 0;
    return std::strtoull(line + sizeof kFellBehind - 1, nullptr, 10);
}

std::string refusalCause(const std::vector<std::string>& errorLines) {
    if (errorLines.empty()) return "it gave no reason";
    std::string cause = errorLines.front();
    if (cause.rfind(kErrorTag, 0) == 0) cause.erase(0, sizeof kErrorTag - 1);
    if (cause.find("bind failed on fixed source port") != std::string::npos)
        cause += " (is UDP port 8410 free? another program may hold it)";
    return cause;
}

} // namespace karvel::tools
