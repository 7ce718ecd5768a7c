#include "WebView.h"

#include "StateJson.h"
#include "VirtualSeat.h"
#include "WebPage.h"

namespace karvel::sim {

namespace {

// A stream gets the state at least this often, so that rates and frames per
// second fall to zero on the page when frames stop.
constexpr std::chrono::milliseconds kKeepAlive{500};

HttpResponse text(int status, std::string body) {
    HttpResponse response;
    response.status = status;
    response.body = std::move(body);
    return response;
}

HttpResponse content(std::string body, std::string type) {
    HttpResponse response;
    response.body = std::move(body);
    response.contentType = std::move(type);
    return response;
}

HttpResponse onlyMethod(const char* method) {
    HttpResponse response = text(405, std::string("use ") + method + "\n");
    response.headers.emplace_back("Allow", method);
    return response;
}

std::string dataEvent(const SimSnapshot& snapshot) { return "data: " + toJson(snapshot).dump() + "\n\n"; }

} // namespace

WebView::WebView(VirtualSeat& seat, std::uint16_t port, const HttpLimits& limits) : seat_(seat) {
    net::Ipv4Endpoint local = seat.address();
    local.port = port;
    server_ = std::make_unique<HttpServer>(
        local, limits, [this](const HttpRequest& request) { return respond(request); }, [this] { return event(); });
}

HttpResponse WebView::respond(const HttpRequest& request) {
    const std::string path = request.target.substr(0, request.target.find('?'));
    const bool get = request.method == "GET";
    if (path == "/api/reset") return request.method == "POST" ? reset(request) : onlyMethod("POST");
    if (path != "/" && path != "/api/state" && path != "/api/summary" && path != "/api/events")
        return text(404, "no such page\n");
    if (!get) return onlyMethod("GET");
    if (path == "/") return content(kWebPage, "text/html; charset=utf-8");
    if (path == "/api/state") return content(toJson(seat_.snapshot()).dump(), "application/json");
    if (path == "/api/summary") return content(summaryText(seat_.snapshot()), "text/plain; charset=utf-8");
    HttpResponse stream = content("retry: 2000\n" + dataEvent(seat_.snapshot()), "text/event-stream");
    stream.eventStream = true;
    return stream;
}

// Another site's page may send a form here: only the view's own page may reset.
HttpResponse WebView::reset(const HttpRequest& request) {
    if (!request.origin.empty() && request.origin != "http://" + request.host)
        return text(403, "a reset comes from the view's own page\n");
    seat_.restartSession();
    return content(toJson(seat_.snapshot()).dump(), "application/json");
}

std::string WebView::event() {
    const auto now = std::chrono::steady_clock::now();
    const std::uint64_t version = seat_.waitForChange(sentVersion_, std::chrono::milliseconds(0));
    if (version == sentVersion_ && now - sentAt_ < kKeepAlive) return {};
    const SimSnapshot snapshot = seat_.snapshot();
    sentVersion_ = snapshot.version;
    sentAt_ = now;
    return dataEvent(snapshot);
}

} // namespace karvel::sim
