// A small HTTP/1.1 server for the live view: one thread watches every
// connection, so a slow or silent client costs a little memory and no thread.
// Every answer closes its connection; an answer may instead open an event
// stream (server-sent events), which stays open and receives what the event
// feed gives. What it holds is bounded:
//   - a request head of at most maxHead bytes and a body of at most maxBody
//     bytes; a longer body is refused (413) before it is read;
//   - a request must arrive whole within requestTime and its answer be taken
//     within answerTime, or the connection is closed;
//   - at most maxConnections connections: a new one closes the oldest that is
//     not an event stream;
//   - at most maxStreams event streams (more are refused, 503), each holding
//     at most maxStreamBacklog bytes its client has not yet read (beyond, it
//     is closed);
//   - requests whose Host header does not name this server are refused (403).
#pragma once

#include <atomic>
#include <chrono>
#include <cstddef>
#include <functional>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "HttpRequest.h"
#include "ServerSockets.h"

namespace karvel::sim {

struct HttpLimits {
    std::size_t maxHead = 8 * 1024;
    std::size_t maxBody = 1024;
    std::chrono::milliseconds requestTime{5000};
    std::chrono::milliseconds answerTime{10000};
    int maxConnections = 64;
    int maxStreams = 8;
    std::size_t maxStreamBacklog = 512 * 1024;
};

struct HttpResponse {
    int status = 200;
    std::string contentType = "text/plain; charset=utf-8";
    std::string body; // of an event stream: its first event
    std::vector<std::pair<std::string, std::string>> headers;
    bool eventStream = false;
};

class HttpServer {
public:
    using Handler = std::function<HttpResponse(const HttpRequest&)>;
    // Asked every eventSpacing while a stream is open: the text for every stream now, or nothing.
    using EventFeed = std::function<std::string()>;
    static constexpr std::chrono::milliseconds kEventSpacing{40};

    // Port 0 in `local` lets the system choose. Throws std::runtime_error when it cannot listen.
    HttpServer(const net::Ipv4Endpoint& local, const HttpLimits& limits, Handler handler, EventFeed feed);
    ~HttpServer();
    HttpServer(const HttpServer&) = delete;
    HttpServer& operator=(const HttpServer&) = delete;

    int port() const { return local_.port; }

private:
    using Clock = std::chrono::steady_clock;
    struct Connection {
        enum Phase { Reading, Answering, Streaming, Closing } phase = Reading;
        net::SocketHandle socket = net::kInvalidSocket;
        Clock::time_point opened, deadline;
        std::string in, out;
        std::size_t sent = 0;
        std::size_t discarded = 0; // bytes read and dropped while closing
        bool closed = false;
    };

    void serve();
    void acceptWaiting(Clock::time_point now);
    void makeRoom();
    void serveConnection(Connection& c, const net::WatchedSocket& ready, Clock::time_point now);
    void readRequest(Connection& c, Clock::time_point now);
    void answer(Connection& c, const RequestHead& head, Clock::time_point now);
    void refuse(Connection& c, int status, const std::string& why, Clock::time_point now);
    void startAnswer(Connection& c, const HttpResponse& response, Clock::time_point now);
    void writePending(Connection& c, Clock::time_point now);
    void discardInput(Connection& c);
    void pushEvent(const std::string& event);
    void close(Connection& c);
    int streamCount() const;
    int waitMs(Clock::time_point now, Clock::time_point nextEvent) const;

    const HttpLimits limits_;
    Handler handler_;
    EventFeed feed_;
    net::Ipv4Endpoint local_;
    net::SocketHandle listener_ = net::kInvalidSocket;
    std::vector<Connection> connections_; // serving thread only
    std::atomic<bool> running_{true};
    std::thread thread_;
};

} // namespace karvel::sim
