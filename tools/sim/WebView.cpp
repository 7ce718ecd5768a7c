#include "WebView.h"

#include <httplib.h>

#include <chrono>
#include <stdexcept>
#include <string>

#include "StateJson.h"
#include "VirtualSeat.h"
#include "WebPage.h"

namespace karvel::sim {

namespace {
// At most this many events a second reach a page; a change in between is
// folded into the next event.
constexpr std::chrono::milliseconds kEventSpacing{40};
constexpr std::chrono::milliseconds kKeepAlive{1000};
} // namespace

WebView::WebView(VirtualSeat& seat, std::uint16_t port) : seat_(seat), server_(std::make_unique<httplib::Server>()) {
    routes();
    port_ = port == 0 ? server_->bind_to_any_port("127.0.0.1") : (server_->bind_to_port("127.0.0.1", port) ? port : -1);
    if (port_ <= 0) throw std::runtime_error("cannot serve the view on 127.0.0.1:" + std::to_string(port));
    thread_ = std::thread([this] { server_->listen_after_bind(); });
}

WebView::~WebView() {
    stopping_ = true; // ends the event streams, which would keep their threads
    server_->stop();
    thread_.join();
}

void WebView::routes() {
    server_->Get("/", [](const httplib::Request&, httplib::Response& response) {
        response.set_content(kWebPage, "text/html; charset=utf-8");
    });
    server_->Get("/api/state", [this](const httplib::Request&, httplib::Response& response) {
        response.set_content(toJson(seat_.snapshot()).dump(), "application/json");
    });
    server_->Get("/api/summary", [this](const httplib::Request&, httplib::Response& response) {
        response.set_content(summaryText(seat_.snapshot()), "text/plain; charset=utf-8");
    });
    server_->Get("/api/events", [this](const httplib::Request&, httplib::Response& response) {
        response.set_header("Cache-Control", "no-cache");
        auto seen = std::make_shared<std::uint64_t>(~std::uint64_t{0});
        response.set_chunked_content_provider("text/event-stream", [this, seen](size_t, httplib::DataSink& sink) {
            if (stopping_) return false;
            if (*seen != ~std::uint64_t{0}) {
                std::this_thread::sleep_for(kEventSpacing);
                seat_.waitForChange(*seen, kKeepAlive);
            }
            if (stopping_) return false;
            const SimSnapshot snapshot = seat_.snapshot();
            *seen = snapshot.version;
            const std::string event = "data: " + toJson(snapshot).dump() + "\n\n";
            return sink.write(event.data(), event.size());
        });
    });
}

} // namespace karvel::sim
