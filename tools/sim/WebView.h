// The live view: the page at "/", the state as JSON at "/api/state", the text
// summary at "/api/summary", the state pushed as server-sent events at
// "/api/events" whenever it changes (and at least every second), and
// "/api/reset" (POST) to start a new session by hand. Served on the seat's
// address by HttpServer, within its limits.
#pragma once

#include <chrono>
#include <cstdint>
#include <memory>
#include <string>

#include "HttpServer.h"

namespace karvel::sim {

class VirtualSeat;

class WebView {
public:
    // Port 0 lets the system choose. Throws std::runtime_error when it cannot listen.
    WebView(VirtualSeat& seat, std::uint16_t port, const HttpLimits& limits = {});
    WebView(const WebView&) = delete;
    WebView& operator=(const WebView&) = delete;

    int port() const { return server_->port(); }

private:
    HttpResponse respond(const HttpRequest& request);
    HttpResponse reset(const HttpRequest& request);
    std::string event(); // on the server's thread only

    VirtualSeat& seat_;
    std::uint64_t sentVersion_ = 0;
    std::chrono::steady_clock::time_point sentAt_;
    std::unique_ptr<HttpServer> server_; // last: its thread calls the members above
};

} // namespace karvel::sim
