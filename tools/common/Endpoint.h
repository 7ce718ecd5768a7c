// "IPv4:port" text as the tools take it on their command lines.
#pragma once

#include <optional>
#include <string>

namespace karvel::tools {

struct Endpoint {
    std::string ip;
    int port = 0;
    std::string text() const { return ip + ":" + std::to_string(port); }
};

// A dotted-quad address and a port in 1..65535, or nothing.
std::optional<Endpoint> parseEndpoint(const std::string& text);

} // namespace karvel::tools
