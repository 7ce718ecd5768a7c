// The live view: an HTTP server on 127.0.0.1 with the page at "/", the state
// as JSON at "/api/state", the text summary at "/api/summary" and the state
// pushed as server-sent events at "/api/events" whenever it changes.
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <thread>

namespace httplib {
class Server;
}

namespace karvel::sim {

class VirtualSeat;

class WebView {
public:
    // Port 0 lets the system choose. Throws std::runtime_error when it cannot listen.
    WebView(VirtualSeat& seat, std::uint16_t port);
    ~WebView();
    WebView(const WebView&) = delete;
    WebView& operator=(const WebView&) = delete;

    int port() const { return port_; }

private:
    void routes();

    VirtualSeat& seat_;
    std::unique_ptr<httplib::Server> server_;
    int port_ = 0;
    std::atomic<bool> stopping_{false};
    std::thread thread_;
};

} // namespace karvel::sim
