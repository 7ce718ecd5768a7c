#include "HttpRequest.h"

#include <algorithm>
#include <cctype>
#include <cstdint>
#include <limits>

namespace karvel::sim {

namespace {

constexpr std::string_view kLineEnd = "\r\n";

std::string_view trim(std::string_view text) {
    while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) text.remove_prefix(1);
    while (!text.empty() && (text.back() == ' ' || text.back() == '\t')) text.remove_suffix(1);
    return text;
}

bool sameName(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i)
        if (std::tolower(static_cast<unsigned char>(a[i])) != std::tolower(static_cast<unsigned char>(b[i]))) return false;
    return true;
}

bool allDigits(std::string_view text) {
    if (text.empty()) return false;
    for (const char c : text)
        if (c < '0' || c > '9') return false;
    return true;
}

// A length too large for any use reads as SIZE_MAX.
std::size_t toLength(std::string_view digits) {
    std::size_t value = 0;
    for (const char c : digits) {
        const std::size_t digit = static_cast<std::size_t>(c - '0');
        if (value > (std::numeric_limits<std::size_t>::max() - digit) / 10) return std::numeric_limits<std::size_t>::max();
        value = value * 10 + digit;
    }
    return value;
}

RequestHead invalid(std::string error) {
    RequestHead head;
    head.status = RequestHead::Invalid;
    head.error = std::move(error);
    return head;
}

bool parseRequestLine(std::string_view line, HttpRequest& request) {
    const std::size_t first = line.find(' ');
    const std::size_t second = first == std::string_view::npos ? first : line.find(' ', first + 1);
    if (second == std::string_view::npos) return false;
    const std::string_view version = line.substr(second + 1);
    request.method = std::string(line.substr(0, first));
    request.target = std::string(line.substr(first + 1, second - first - 1));
    return !request.method.empty() && !request.target.empty() && (version == "HTTP/1.1" || version == "HTTP/1.0");
}

} // namespace

RequestHead parseRequestHead(std::string_view text) {
    const std::size_t end = text.find("\r\n\r\n");
    if (end == std::string_view::npos) return {};
    RequestHead head;
    head.status = RequestHead::Complete;
    head.length = end + 4;
    std::string_view rest = text.substr(0, end + 2);
    std::size_t lineEnd = rest.find(kLineEnd);
    if (!parseRequestLine(rest.substr(0, lineEnd), head.request)) return invalid("bad request line");
    rest.remove_prefix(lineEnd + 2);
    bool hasLength = false;
    while (!rest.empty()) {
        lineEnd = rest.find(kLineEnd);
        const std::string_view line = rest.substr(0, lineEnd);
        rest.remove_prefix(lineEnd + 2);
        const std::size_t colon = line.find(':');
        if (colon == std::string_view::npos || colon == 0 || line.front() == ' ' || line.front() == '\t')
            return invalid("bad header line");
        const std::string_view name = line.substr(0, colon), value = trim(line.substr(colon + 1));
        HttpRequest& request = head.request;
        if (sameName(name, "Host")) {
            if (request.hasHost) return invalid("more than one Host header");
            request.hasHost = true;
            request.host = std::string(value);
        } else if (sameName(name, "Origin")) {
            request.origin = std::string(value);
        } else if (sameName(name, "Content-Length")) {
            if (!allDigits(value)) return invalid("bad Content-Length");
            const std::size_t length = toLength(value);
            if (hasLength && length != request.contentLength) return invalid("conflicting Content-Length headers");
            hasLength = true;
            request.contentLength = length;
        } else if (sameName(name, "Transfer-Encoding")) {
            request.transferEncoding = true;
        }
    }
    return head;
}

bool hostAllowed(std::string_view host, const net::Ipv4Endpoint& local) {
    std::string_view name = host, port;
    const std::size_t colon = host.rfind(':');
    if (colon != std::string_view::npos) {
        name = host.substr(0, colon);
        port = host.substr(colon + 1);
        if (!allDigits(port)) return false;
    }
    // Without a port the browser meant the default one.
    const std::size_t portNumber = port.empty() ? 80 : toLength(port);
    if (portNumber != local.port) return false;
    if (sameName(name, "localhost")) return true;
    std::uint8_t octets[4];
    const std::string nameText(name);
    if (!net::parseIpv4(nameText.c_str(), octets)) return false;
    const std::uint8_t any[4] = {0, 0, 0, 0};
    const bool listensOnAll = std::equal(local.octets, local.octets + 4, any);
    return listensOnAll || std::equal(octets, octets + 4, local.octets);
}

} // namespace karvel::sim
