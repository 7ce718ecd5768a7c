// The live view's server, spoken to as a browser and as a hostile page or
// client would: what it serves, and that it stays answering and small under a
// large body, foreign Host names, many event streams and half-sent requests.
#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include <memory>
#include <vector>

#include "HttpProbe.h"
#include "SimFixture.h"
#include "WebView.h"
#include "support/ProcessStats.h"

namespace karvel::tools::test {
namespace {

using namespace std::chrono_literals;

class LiveViewServer : public ::testing::Test {
protected:
    void SetUp() override {
        limits_.requestTime = 1000ms; // the default is 5 s; the rule is the same
        view_ = std::make_unique<sim::WebView>(seat_, 0, limits_);
        seat_.setHttpPort(view_->port());
    }

    net::Ipv4Endpoint server() const { return {{127, 0, 0, 1}, static_cast<std::uint16_t>(view_->port())}; }
    std::string request(const std::string& method, const std::string& path, const std::string& host,
                        const std::string& extra = "") const {
        return method + " " + path + " HTTP/1.1\r\nHost: " + host + "\r\n" + extra + "\r\n";
    }
    int statusOf(const std::string& text) const { return exchange(server(), text).status; }
    // An event stream that has received its first event.
    std::unique_ptr<HttpConnection> openStream() const {
        auto stream = std::make_unique<HttpConnection>(server());
        stream->send(request("GET", "/api/events", hostOf(server())));
        stream->readUntil("data: ", kDeadline);
        return stream;
    }

    sim::VirtualSeat seat_{loopbackSeat(KarvelSeat::TamselSeat)};
    sim::HttpLimits limits_;
    std::unique_ptr<sim::WebView> view_;
};

TEST_F(LiveViewServer, ServesThePageTheStateTheSummaryAndEvents) {
    const HttpAnswer page = httpGet(server(), "/");
    EXPECT_EQ(page.status, 200);
    EXPECT_NE(page.head.find("Content-Type: text/html; charset=utf-8"), std::string::npos) << page.head;
    EXPECT_NE(page.body.find("<title>Karvel virtual seat</title>"), std::string::npos);

    const HttpAnswer state = httpGet(server(), "/api/state");
    ASSERT_EQ(state.status, 200) << state.head;
    const nlohmann::json json = nlohmann::json::parse(state.body);
    EXPECT_EQ(json["ports"]["http"], view_->port());
    EXPECT_EQ(json["ports"]["motion"], seat_.ports().motion);
    EXPECT_EQ(json["model"], "Tamsel");
    EXPECT_EQ(json["address"], "127.0.0.1");
    EXPECT_EQ(json["session"]["number"], 1);

    EXPECT_NE(httpGet(server(), "/api/summary").body.find("virtual seat (Tamsel): 0 frames received, 0 malformed\n"),
              std::string::npos);
    EXPECT_EQ(httpGet(server(), "/nowhere").status, 404);
    EXPECT_EQ(statusOf(request("POST", "/api/state", hostOf(server()), "Content-Length: 0\r\n")), 405);
    EXPECT_EQ(httpGet(server(), "/api/reset").status, 405);

    const std::unique_ptr<HttpConnection> stream = openStream();
    EXPECT_EQ(stream->status(), 200);
    EXPECT_NE(stream->received().find("Content-Type: text/event-stream"), std::string::npos);
    EXPECT_NE(stream->received().find("data: {\"address\""), std::string::npos) << stream->received();
}

TEST_F(LiveViewServer, RefusesHostNamesThatAreNotItsOwn) {
    const int port = view_->port();
    EXPECT_EQ(statusOf(request("GET", "/api/state", "rebound.example:" + std::to_string(port))), 403);
    EXPECT_EQ(statusOf(request("GET", "/api/state", "127.0.0.1:" + std::to_string(port + 1))), 403);
    EXPECT_EQ(statusOf("GET /api/state HTTP/1.0\r\n\r\n"), 400) << "no Host at all";
    EXPECT_EQ(statusOf(request("GET", "/api/state", "localhost:" + std::to_string(port))), 200);
}

TEST_F(LiveViewServer, ALargeBodyIsRefusedUnreadAndTheMemoryStaysFlat) {
    ASSERT_EQ(httpGet(server(), "/api/state").status, 200);
    const long before = karvel::test::residentBytes();
    HttpConnection upload(server());
    upload.send(request("POST", "/upload", hostOf(server()), "Content-Length: 1500000000\r\n"));
    upload.readUntil("\r\n\r\n", kDeadline);
    EXPECT_EQ(upload.status(), 413) << upload.received();
    // As a page would, it sends on regardless: at most 64 MiB, until the server has closed.
    const std::string chunk(64 * 1024, 'x');
    std::size_t sent = 0;
    while (sent < (64u << 20) && upload.send(chunk)) sent += chunk.size();
    EXPECT_LT(sent, 64u << 20) << "the server read the whole body";
    EXPECT_TRUE(upload.readToEnd(kDeadline));
    const long grown = karvel::test::residentBytes() - before;
    EXPECT_LT(grown, 8L << 20) << "the process grew by " << grown << " bytes";

    EXPECT_EQ(statusOf(request("POST", "/api/reset", hostOf(server()), "Transfer-Encoding: chunked\r\n")), 411);
    EXPECT_EQ(httpGet(server(), "/api/state").status, 200);
}

TEST_F(LiveViewServer, EventStreamsAreBoundedAndTheStateStillAnswers) {
    std::vector<std::unique_ptr<HttpConnection>> streams;
    for (int i = 0; i < limits_.maxStreams; ++i) {
        streams.push_back(openStream());
        ASSERT_EQ(streams.back()->status(), 200) << "stream " << i;
    }
    const std::unique_ptr<HttpConnection> refused = openStream();
    EXPECT_EQ(refused->status(), 503);
    EXPECT_NE(refused->received().find("at most 8 live views"), std::string::npos) << refused->received();
    EXPECT_EQ(httpGet(server(), "/api/state").status, 200);

    streams.pop_back(); // a tab closed: its place is free once the server sees the close
    const auto deadline = std::chrono::steady_clock::now() + kDeadline;
    int status = 0;
    while (status != 200 && std::chrono::steady_clock::now() < deadline) status = openStream()->status();
    EXPECT_EQ(status, 200);
    seat_.restartSession();
    EXPECT_NE(streams.front()->readUntil("\"number\":2", kDeadline).find("\"number\":2"), std::string::npos)
        << "the first stream still receives";
}

TEST_F(LiveViewServer, HalfSentRequestsNeitherStopItNorStay) {
    // More than it keeps connections for: the oldest make room for new ones.
    std::vector<std::unique_ptr<HttpConnection>> slow;
    for (int i = 0; i < limits_.maxConnections + 16; ++i) {
        slow.push_back(std::make_unique<HttpConnection>(server()));
        ASSERT_TRUE(slow.back()->connected());
        slow.back()->send("GET /api/state HTTP/1.1\r\nHost: " + hostOf(server()) + "\r\n");
    }
    EXPECT_EQ(httpGet(server(), "/api/state").status, 200);
    EXPECT_TRUE(slow.front()->readToEnd(kDeadline)) << "the oldest was closed";
    // The newest hears, once its second has passed, that its request did not come.
    EXPECT_TRUE(slow.back()->readToEnd(kDeadline));
    EXPECT_EQ(slow.back()->status(), 408) << slow.back()->received();
    EXPECT_EQ(httpGet(server(), "/api/state").status, 200);
}

TEST_F(LiveViewServer, OnlyTheViewsOwnPageMayReset) {
    const std::string own = "http://" + hostOf(server());
    const std::string empty = "Content-Length: 0\r\n";
    EXPECT_EQ(statusOf(request("POST", "/api/reset", hostOf(server()), empty + "Origin: http://rebound.example\r\n")),
              403);
    EXPECT_EQ(seat_.snapshot().session.number, 1u);
    const HttpAnswer reset = exchange(server(), request("POST", "/api/reset", hostOf(server()), empty + "Origin: " + own + "\r\n"));
    ASSERT_EQ(reset.status, 200) << reset.head;
    EXPECT_EQ(nlohmann::json::parse(reset.body)["session"]["number"], 2);
    EXPECT_EQ(statusOf(request("POST", "/api/reset", hostOf(server()), empty)), 200) << "a tool without a page";
    EXPECT_EQ(seat_.snapshot().session.number, 3u);
}

} // namespace
} // namespace karvel::tools::test
