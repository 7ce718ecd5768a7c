#include "HttpProbe.h"

#include <cstdlib>

#include "support/SocketLibrary.h"

namespace karvel::tools::test {

namespace {
constexpr int kConnectMs = 5000;
constexpr std::chrono::milliseconds kAnswerTime{10000};
} // namespace

HttpConnection::HttpConnection(const net::Ipv4Endpoint& server) {
    karvel::test::useSocketLibrary();
    socket_ = net::openTcpSocket();
    connected_ = net::connectTo(socket_, server, kConnectMs);
    net::setSendTimeout(socket_, 5000);
}

HttpConnection::~HttpConnection() { net::closeSocket(socket_); }

bool HttpConnection::send(const std::string& text) {
    return net::sendAll(socket_, reinterpret_cast<const std::uint8_t*>(text.data()), text.size());
}

template <typename Done>
void HttpConnection::readWhileNot(Done done, std::chrono::milliseconds timeout) {
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    while (!ended_ && !done()) {
        const auto left =
            std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0 || net::waitReadable(socket_, static_cast<int>(left.count())) <= 0) return;
        std::uint8_t buffer[4096];
        const long got = net::receiveSome(socket_, buffer, sizeof buffer);
        if (got <= 0) ended_ = true;
        else received_.append(reinterpret_cast<const char*>(buffer), static_cast<std::size_t>(got));
    }
}

const std::string& HttpConnection::readUntil(const std::string& marker, std::chrono::milliseconds timeout) {
    readWhileNot([&] { return received_.find(marker) != std::string::npos; }, timeout);
    return received_;
}

bool HttpConnection::readToEnd(std::chrono::milliseconds timeout) {
    readWhileNot([] { return false; }, timeout);
    return ended_;
}

int HttpConnection::status() const {
    if (received_.rfind("HTTP/1.1 ", 0) != 0 || received_.size() < 12) return 0;
    return std::atoi(received_.substr(9, 3).c_str());
}

HttpAnswer exchange(const net::Ipv4Endpoint& server, const std::string& request) {
    HttpConnection connection(server);
    if (!connection.connected() || !connection.send(request)) return {};
    connection.readToEnd(kAnswerTime);
    const std::string& all = connection.received();
    const std::size_t end = all.find("\r\n\r\n");
    if (end == std::string::npos) return {};
    return {connection.status(), all.substr(0, end), all.substr(end + 4)};
}

std::string hostOf(const net::Ipv4Endpoint& server) {
    return net::formatIpv4(server.octets) + ":" + std::to_string(server.port);
}

HttpAnswer httpGet(const net::Ipv4Endpoint& server, const std::string& path) {
    return exchange(server, "GET " + path + " HTTP/1.1\r\nHost: " + hostOf(server) + "\r\n\r\n");
}

} // namespace karvel::tools::test
