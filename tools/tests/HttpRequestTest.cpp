// The live view's request reader and its Host rule, on hand-written requests.
#include <gtest/gtest.h>

#include <limits>
#include <ostream>

#include "HttpRequest.h"

namespace karvel::sim {
namespace {

TEST(HttpRequestHead, ReadsTheRequestLineAndTheHeadersThatMatter) {
    const RequestHead head = parseRequestHead("POST /api/reset?x=1 HTTP/1.1\r\nhost:  127.0.0.1:8080 \r\n"
                                              "ORIGIN: http://127.0.0.1:8080\r\nContent-Length: 12\r\n"
                                              "Accept: */*\r\n\r\nsome body...");
    ASSERT_EQ(head.status, RequestHead::Complete) << head.error;
    EXPECT_EQ(head.length, 120u);
    EXPECT_EQ(head.request.method, "POST");
    EXPECT_EQ(head.request.target, "/api/reset?x=1");
    EXPECT_TRUE(head.request.hasHost);
    EXPECT_EQ(head.request.host, "127.0.0.1:8080");
    EXPECT_EQ(head.request.origin, "http://127.0.0.1:8080");
    EXPECT_EQ(head.request.contentLength, 12u);
    EXPECT_FALSE(head.request.transferEncoding);
}

TEST(HttpRequestHead, WaitsForTheBlankLineAndRefusesWhatItCannotRead) {
    EXPECT_EQ(parseRequestHead("GET / HTTP/1.1\r\nHost: a\r\n").status, RequestHead::Incomplete);
    const char* const invalid[] = {
        "GET /\r\n\r\n",                                           // no version
        "GET / HTTP/2\r\n\r\n",                                    // not ours
        "GET / HTTP/1.1\r\nno colon here\r\n\r\n",                 //
        "GET / HTTP/1.1\r\n folded: line\r\n\r\n",                 //
        "GET / HTTP/1.1\r\nHost: a\r\nHost: b\r\n\r\n",            // which one?
        "POST / HTTP/1.1\r\nContent-Length: -5\r\n\r\n",           //
        "POST / HTTP/1.1\r\nContent-Length: 5\r\nContent-Length: 6\r\n\r\n",
    };
    for (const char* text : invalid) EXPECT_EQ(parseRequestHead(text).status, RequestHead::Invalid) << text;
}

TEST(HttpRequestHead, AnnouncedLengthsBeyondAnyNumberReadAsTheLargest) {
    const RequestHead head =
        parseRequestHead("POST / HTTP/1.1\r\nContent-Length: 99999999999999999999999999\r\n\r\n");
    ASSERT_EQ(head.status, RequestHead::Complete);
    EXPECT_EQ(head.request.contentLength, std::numeric_limits<std::size_t>::max());
    EXPECT_TRUE(parseRequestHead("POST / HTTP/1.1\r\nTransfer-Encoding: chunked\r\n\r\n").request.transferEncoding);
}

struct HostCase {
    const char* host;
    net::Ipv4Endpoint local;
    bool allowed;
};

void PrintTo(const HostCase& c, std::ostream* out) {
    *out << "'" << c.host << "' to " << net::formatIpv4(c.local.octets) << ":" << c.local.port;
}

class HostRule : public ::testing::TestWithParam<HostCase> {};

TEST_P(HostRule, OnlyNamesOfThisServerWithItsPort) {
    EXPECT_EQ(hostAllowed(GetParam().host, GetParam().local), GetParam().allowed) << GetParam().host;
}

const net::Ipv4Endpoint kLoopback{{127, 0, 0, 1}, 8080};
const net::Ipv4Endpoint kLan{{192, 168, 1, 5}, 8080};
const net::Ipv4Endpoint kEverywhere{{0, 0, 0, 0}, 8080};
const net::Ipv4Endpoint kPort80{{127, 0, 0, 1}, 80};

INSTANTIATE_TEST_SUITE_P(
    Hosts, HostRule,
    ::testing::Values(HostCase{"127.0.0.1:8080", kLoopback, true}, HostCase{"localhost:8080", kLoopback, true},
                      HostCase{"LocalHost:8080", kLoopback, true}, HostCase{"127.0.0.1:8081", kLoopback, false},
                      HostCase{"127.0.0.1", kLoopback, false}, HostCase{"127.0.0.2:8080", kLoopback, false},
                      HostCase{"rebound.example:8080", kLoopback, false}, HostCase{"127.0.0.1.nip.io:8080", kLoopback, false},
                      HostCase{"[::1]:8080", kLoopback, false}, HostCase{"127.0.0.1:80x", kLoopback, false},
                      HostCase{"", kLoopback, false}, HostCase{"192.168.1.5:8080", kLan, true},
                      HostCase{"127.0.0.1:8080", kLan, false}, HostCase{"10.0.0.7:8080", kEverywhere, true},
                      HostCase{"seat-pc:8080", kEverywhere, false}, HostCase{"127.0.0.1", kPort80, true},
                      HostCase{"localhost", kPort80, true}),
    [](const ::testing::TestParamInfo<HostCase>& param) { return "case" + std::to_string(param.index); });

} // namespace
} // namespace karvel::sim
