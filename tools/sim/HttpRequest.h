// Reading an HTTP/1.1 request head for the live view's server, and the one
// rule on its Host header. Pure functions on text.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

#include "platform/SocketServices.h"

namespace karvel::sim {

struct HttpRequest {
    std::string method, target;
    std::string host, origin; // empty when not sent
    bool hasHost = false;
    std::size_t contentLength = 0; // as announced; SIZE_MAX when beyond any number we would take
    bool transferEncoding = false; // a body of unannounced length (chunked)
    std::string body;
};

struct RequestHead {
    enum Status { Incomplete, Complete, Invalid } status = Incomplete;
    std::size_t length = 0; // bytes of the head, its blank line included
    HttpRequest request;
    std::string error; // why it is invalid
};

// Looks for a whole head (request line and header lines up to the blank line) at the start of `text`.
RequestHead parseRequestHead(std::string_view text);

// Whether the Host header names the server listening on `local` (the port
// included): "localhost" or the address it is bound to, or any IPv4 address
// when it listens on all of them. Other names are refused, so that a page
// whose own name was made to resolve to this machine (DNS rebinding) cannot
// read the view.
bool hostAllowed(std::string_view host, const net::Ipv4Endpoint& local);

} // namespace karvel::sim
