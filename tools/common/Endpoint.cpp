#include "Endpoint.h"

#include <cstdlib>

#include "platform/SocketServices.h"

namespace karvel::tools {

std::optional<Endpoint> parseEndpoint(const std::string& text) {
    const std::size_t colon = text.rfind(':');
    if (colon == std::string::npos || colon + 1 == text.size()) return std::nullopt;
    Endpoint endpoint{text.substr(0, colon), 0};
    std::uint8_t octets[4];
    if (!net::parseIpv4(endpoint.ip.c_str(), octets)) return std::nullopt;
    const std::string port = text.substr(colon + 1);
    char* end = nullptr;
    const long value = std::strtol(port.c_str(), &end, 10);
    if (*end != '\0' || port[0] == '+' || port[0] == '-' || value < 1 || value > 65535) return std::nullopt;
    endpoint.port = static_cast<int>(value);
    return endpoint;
}

} // namespace karvel::tools
