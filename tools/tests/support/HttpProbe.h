// A plain HTTP client over the library's sockets, for tests that must see
// exactly what the live view's server does with what a client sends: partial
// requests, foreign Host headers, large bodies, event streams left open.
#pragma once

#include <chrono>
#include <string>

#include "platform/SocketServices.h"

namespace karvel::tools::test {

class HttpConnection {
public:
    explicit HttpConnection(const net::Ipv4Endpoint& server);
    ~HttpConnection();
    HttpConnection(const HttpConnection&) = delete;
    HttpConnection& operator=(const HttpConnection&) = delete;

    bool connected() const { return connected_; }
    // False once the server no longer takes what is sent.
    bool send(const std::string& text);
    // Reads until `marker` has arrived, the server closes or the time is up; all that arrived so far.
    const std::string& readUntil(const std::string& marker, std::chrono::milliseconds timeout);
    // Reads until the server closes; false when it has not within the time.
    bool readToEnd(std::chrono::milliseconds timeout);
    const std::string& received() const { return received_; }
    // The status code of the answer received so far, 0 before a status line.
    int status() const;

private:
    // Reads until `done` holds for what arrived, the server closes or the time is up.
    template <typename Done>
    void readWhileNot(Done done, std::chrono::milliseconds timeout);

    net::SocketHandle socket_;
    bool connected_ = false;
    bool ended_ = false;
    std::string received_;
};

struct HttpAnswer {
    int status = 0; // 0: no answer
    std::string head, body;
};

// One request, its answer read to the server's close.
HttpAnswer exchange(const net::Ipv4Endpoint& server, const std::string& request);
// GET `path` with the Host header a browser sends for this server.
HttpAnswer httpGet(const net::Ipv4Endpoint& server, const std::string& path);
std::string hostOf(const net::Ipv4Endpoint& server);

} // namespace karvel::tools::test
