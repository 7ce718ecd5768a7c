#include "HttpServer.h"

#include <algorithm>
#include <stdexcept>

#include "ServerSockets.h"

namespace karvel::sim {

namespace {

constexpr int kIdleWaitMs = 200;        // how soon a stop is seen with no stream open
constexpr int kAcceptsPerRound = 32;
constexpr std::chrono::milliseconds kLingerTime{1000}; // after an answer, for the client to end its side
constexpr std::size_t kLingerBytes = 256 * 1024;       // what a closing client may still send us
constexpr std::size_t kReadChunk = 4096;

const char* reason(int status) {
    switch (status) {
    case 200: return "OK";
    case 204: return "No Content";
    case 400: return "Bad Request";
    case 403: return "Forbidden";
    case 404: return "Not Found";
    case 405: return "Method Not Allowed";
    case 408: return "Request Timeout";
    case 411: return "Length Required";
    case 413: return "Content Too Large";
    case 431: return "Request Header Fields Too Large";
    case 503: return "Service Unavailable";
    default: return "Error";
    }
}

std::string responseHead(const HttpResponse& response) {
    std::string head = "HTTP/1.1 " + std::to_string(response.status) + " " + reason(response.status) + "\r\n";
    head += "Content-Type: " + response.contentType + "\r\n";
    // An event stream runs until the connection closes.
    if (!response.eventStream) head += "Content-Length: " + std::to_string(response.body.size()) + "\r\n";
    head += response.eventStream ? "Cache-Control: no-cache\r\n" : "Cache-Control: no-store\r\n";
    head += "X-Content-Type-Options: nosniff\r\n";
    for (const auto& [name, value] : response.headers) head += name + ": " + value + "\r\n";
    head += "Connection: close\r\n\r\n";
    return head;
}

} // namespace

HttpServer::HttpServer(const net::Ipv4Endpoint& local, const HttpLimits& limits, Handler handler, EventFeed feed)
    : limits_(limits), handler_(std::move(handler)), feed_(std::move(feed)), local_(local),
      listener_(net::listenTcp(local, 64)) {
    if (listener_ == net::kInvalidSocket)
        throw std::runtime_error("cannot serve the view on " + net::formatIpv4(local.octets) + ":" +
                                 std::to_string(local.port));
    net::setNonBlocking(listener_);
    local_.port = net::localPort(listener_);
    thread_ = std::thread(&HttpServer::serve, this);
}

HttpServer::~HttpServer() {
    running_ = false;
    thread_.join();
    for (Connection& c : connections_) close(c);
    net::closeSocket(listener_);
}

void HttpServer::serve() {
    std::vector<net::WatchedSocket> watched;
    Clock::time_point nextEvent = Clock::now();
    while (running_) {
        Clock::time_point now = Clock::now();
        watched.assign(1, net::WatchedSocket{listener_, true});
        for (const Connection& c : connections_) {
            const bool pending = c.sent < c.out.size();
            const bool reads = c.phase == Connection::Reading || c.phase == Connection::Streaming ||
                               c.phase == Connection::Closing;
            watched.push_back(net::WatchedSocket{c.socket, reads, pending});
        }
        net::waitForSockets(watched, waitMs(now, nextEvent));
        now = Clock::now();
        // Connections accepted below are watched from the next round on.
        const std::size_t served = connections_.size();
        for (std::size_t i = 0; i < served; ++i) serveConnection(connections_[i], watched[i + 1], now);
        connections_.erase(std::remove_if(connections_.begin(), connections_.end(),
                                          [](const Connection& c) { return c.closed; }),
                           connections_.end());
        if (watched[0].readable) acceptWaiting(now);
        if (streamCount() > 0 && now >= nextEvent) {
            nextEvent = now + kEventSpacing;
            const std::string event = feed_();
            if (!event.empty()) pushEvent(event);
        }
    }
}

int HttpServer::waitMs(Clock::time_point now, Clock::time_point nextEvent) const {
    Clock::time_point until = now + std::chrono::milliseconds(kIdleWaitMs);
    if (streamCount() > 0) until = std::min(until, nextEvent);
    for (const Connection& c : connections_)
        if (c.phase != Connection::Streaming) until = std::min(until, c.deadline);
    const auto wait = std::chrono::duration_cast<std::chrono::milliseconds>(until - now).count();
    return static_cast<int>(std::max<long long>(wait, 0) + 1);
}

int HttpServer::streamCount() const {
    return static_cast<int>(std::count_if(connections_.begin(), connections_.end(), [](const Connection& c) {
        return !c.closed && c.phase == Connection::Streaming;
    }));
}

void HttpServer::acceptWaiting(Clock::time_point now) {
    for (int i = 0; i < kAcceptsPerRound; ++i) {
        const net::SocketHandle socket = net::acceptWaiting(listener_);
        if (socket == net::kInvalidSocket) return;
        net::setNonBlocking(socket);
        makeRoom();
        Connection c;
        c.socket = socket;
        c.opened = now;
        c.deadline = now + limits_.requestTime;
        connections_.push_back(std::move(c));
    }
}

// A new connection always gets served: at the limit, the oldest one that is
// not an event stream goes (a slow client, most likely).
void HttpServer::makeRoom() {
    if (static_cast<int>(connections_.size()) < limits_.maxConnections) return;
    auto oldest = connections_.end();
    for (auto it = connections_.begin(); it != connections_.end(); ++it)
        if (it->phase != Connection::Streaming && (oldest == connections_.end() || it->opened < oldest->opened))
            oldest = it;
    if (oldest == connections_.end()) oldest = connections_.begin();
    close(*oldest);
    connections_.erase(oldest);
}

void HttpServer::serveConnection(Connection& c, const net::WatchedSocket& ready, Clock::time_point now) {
    if (ready.failed) return close(c);
    if (ready.writable) writePending(c, now);
    if (c.closed) return;
    if (ready.readable) {
        if (c.phase == Connection::Reading) readRequest(c, now);
        else discardInput(c);
    }
    if (c.closed || c.phase == Connection::Streaming || now < c.deadline) return;
    if (c.phase == Connection::Reading) refuse(c, 408, "the request did not arrive in time", now);
    else close(c);
}

void HttpServer::readRequest(Connection& c, Clock::time_point now) {
    char buffer[kReadChunk];
    const net::IoResult got = net::readAvailable(c.socket, buffer, sizeof buffer);
    if (got.status == net::IoStatus::WouldBlock) return;
    if (got.status != net::IoStatus::Done) return close(c);
    // Never more than a head and a body may be: the rest waits in the system's buffers.
    const std::size_t capacity = limits_.maxHead + limits_.maxBody + 1;
    c.in.append(buffer, std::min(got.bytes, capacity - std::min(c.in.size(), capacity)));
    const RequestHead head = parseRequestHead(c.in);
    if (head.status == RequestHead::Incomplete) {
        if (c.in.size() > limits_.maxHead) refuse(c, 431, "the request head is too long", now);
        return;
    }
    if (head.status == RequestHead::Invalid) return refuse(c, 400, head.error, now);
    answer(c, head, now);
}

void HttpServer::answer(Connection& c, const RequestHead& head, Clock::time_point now) {
    const HttpRequest& request = head.request;
    if (head.length > limits_.maxHead) return refuse(c, 431, "the request head is too long", now);
    if (!request.hasHost) return refuse(c, 400, "the request names no Host", now);
    if (!hostAllowed(request.host, local_))
        return refuse(c, 403, "unknown host '" + request.host + "': open the view at the address it listens on", now);
    if (request.transferEncoding) return refuse(c, 411, "a body needs a Content-Length", now);
    if (request.contentLength > limits_.maxBody)
        return refuse(c, 413, "request bodies are limited to " + std::to_string(limits_.maxBody) + " bytes", now);
    if (c.in.size() < head.length + request.contentLength) return; // the body is still on its way
    HttpRequest complete = request;
    complete.body = c.in.substr(head.length, request.contentLength);
    HttpResponse response = handler_(complete);
    if (response.eventStream && streamCount() >= limits_.maxStreams) {
        response = HttpResponse{};
        response.status = 503;
        response.body = "at most " + std::to_string(limits_.maxStreams) + " live views may be open at once\n";
        response.headers.emplace_back("Retry-After", "5");
    }
    startAnswer(c, response, now);
}

void HttpServer::refuse(Connection& c, int status, const std::string& why, Clock::time_point now) {
    HttpResponse response;
    response.status = status;
    response.body = why + "\n";
    startAnswer(c, response, now);
}

void HttpServer::startAnswer(Connection& c, const HttpResponse& response, Clock::time_point now) {
    c.in.clear();
    c.in.shrink_to_fit();
    c.out = responseHead(response) + response.body;
    c.sent = 0;
    c.phase = response.eventStream ? Connection::Streaming : Connection::Answering;
    c.deadline = now + limits_.answerTime;
    writePending(c, now);
}

void HttpServer::writePending(Connection& c, Clock::time_point now) {
    while (c.sent < c.out.size()) {
        const net::IoResult wrote = net::writeAvailable(c.socket, c.out.data() + c.sent, c.out.size() - c.sent);
        if (wrote.status == net::IoStatus::WouldBlock) break;
        if (wrote.status != net::IoStatus::Done) return close(c);
        c.sent += wrote.bytes;
    }
    if (c.sent == c.out.size()) {
        c.out.clear();
        c.sent = 0;
    } else if (c.sent > kReadChunk * 16) {
        c.out.erase(0, c.sent);
        c.sent = 0;
    }
    if (c.phase == Connection::Answering && c.out.empty()) {
        // Ended in order: the client reads all of the answer before our end,
        // whatever it still sends (which is read and dropped for a moment).
        net::stopSending(c.socket);
        c.phase = Connection::Closing;
        c.deadline = now + kLingerTime;
    }
}

void HttpServer::discardInput(Connection& c) {
    char buffer[kReadChunk];
    const net::IoResult got = net::readAvailable(c.socket, buffer, sizeof buffer);
    if (got.status == net::IoStatus::WouldBlock) return;
    if (got.status != net::IoStatus::Done) return close(c);
    c.discarded += got.bytes;
    if (c.phase == Connection::Closing && c.discarded > kLingerBytes) close(c);
}

void HttpServer::pushEvent(const std::string& event) {
    for (Connection& c : connections_) {
        if (c.closed || c.phase != Connection::Streaming) continue;
        if (c.out.size() - c.sent + event.size() > limits_.maxStreamBacklog) {
            close(c); // a client that reads nothing
            continue;
        }
        c.out += event;
        writePending(c, Clock::now());
    }
    connections_.erase(std::remove_if(connections_.begin(), connections_.end(),
                                      [](const Connection& c) { return c.closed; }),
                       connections_.end());
}

void HttpServer::close(Connection& c) {
    if (c.closed) return;
    net::closeSocket(c.socket);
    c.closed = true;
}

} // namespace karvel::sim
