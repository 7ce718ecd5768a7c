// The live view in a real headless Chromium, driven over WebDriver: the page
// loads, its numbers follow a posture sent through the library, and a
// screenshot is left in the build tree as an artefact.
#include <gtest/gtest.h>

#include <httplib.h>
#include <nlohmann/json.hpp>

#include <fstream>
#include <memory>

#include "ChildProcess.h"
#include "SimFixture.h"
#include "WebView.h"
#include "platform/SocketServices.h"

namespace karvel::tools::test {
namespace {

const char* const kChromium = "/usr/bin/chromium";
const char* const kDriver = "/usr/bin/chromedriver";

bool executable(const char* path) { return ::access(path, X_OK) == 0; }

int freeTcpPort() {
    const net::SocketHandle socket = net::openTcpSocket();
    net::bindLoopback(socket, 0);
    const int port = net::localPort(socket);
    net::closeSocket(socket);
    return port;
}

std::string decodeBase64(const std::string& text) {
    std::string out;
    unsigned buffer = 0;
    int bits = 0;
    for (const char c : text) {
        const char* digits = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
        const char* at = std::strchr(digits, c);
        if (c == '=' || at == nullptr || c == '\0') continue;
        buffer = (buffer << 6) | static_cast<unsigned>(at - digits);
        bits += 6;
        if (bits >= 8) {
            bits -= 8;
            out.push_back(static_cast<char>((buffer >> bits) & 0xFF));
        }
    }
    return out;
}

// One browser session of a chromedriver started for the test.
class Browser {
public:
    Browser() : port_(freeTcpPort()), driver_({kDriver, "--port=" + std::to_string(port_)}), http_("127.0.0.1", port_) {
        http_.set_read_timeout(30, 0);
        const auto deadline = std::chrono::steady_clock::now() + kDeadline;
        while (std::chrono::steady_clock::now() < deadline) {
            const auto status = http_.Get("/status");
            if (status && status->status == 200 && nlohmann::json::parse(status->body)["value"]["ready"] == true) break;
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
        }
        const nlohmann::json capabilities = {
            {"capabilities",
             {{"alwaysMatch",
               {{"browserName", "chrome"},
                {"goog:chromeOptions",
                 {{"binary", kChromium},
                  {"args",
                   {"--headless=new", "--no-sandbox", "--disable-gpu", "--disable-dev-shm-usage",
                    "--disable-background-networking", "--no-first-run", "--window-size=1280,900"}}}}}}}}};
        session_ = request("POST", "/session", capabilities)["sessionId"].get<std::string>();
    }
    ~Browser() {
        if (!session_.empty()) http_.Delete(("/session/" + session_).c_str());
    }

    void open(const std::string& url) { request("POST", path("/url"), {{"url", url}}); }
    nlohmann::json run(const std::string& script) {
        return request("POST", path("/execute/sync"), {{"script", script}, {"args", nlohmann::json::array()}});
    }
    std::string text(const std::string& id) {
        return run("const e = document.getElementById('" + id + "'); return e ? e.textContent : null;")
            .get<std::string>();
    }
    // Waits until the element shows `expected`; what it shows then.
    std::string waitForText(const std::string& id, const std::string& expected) {
        const auto deadline = std::chrono::steady_clock::now() + kDeadline;
        std::string shown = text(id);
        while (shown != expected && std::chrono::steady_clock::now() < deadline) {
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
            shown = text(id);
        }
        return shown;
    }
    std::string screenshotPng() { return decodeBase64(request("GET", path("/screenshot"), nullptr).get<std::string>()); }

private:
    std::string path(const std::string& tail) const { return "/session/" + session_ + tail; }
    nlohmann::json request(const std::string& method, const std::string& target, const nlohmann::json& body) {
        const auto response = method == "GET" ? http_.Get(target.c_str())
                                              : http_.Post(target.c_str(), body.dump(), "application/json");
        if (!response) throw std::runtime_error("no answer from chromedriver to " + target);
        const nlohmann::json json = nlohmann::json::parse(response->body);
        if (response->status != 200) throw std::runtime_error(target + ": " + json.dump());
        return json["value"];
    }

    int port_;
    ChildProcess driver_;
    httplib::Client http_;
    std::string session_;
};

using LiveViewInBrowser = LibraryAgainstSim;

TEST_F(LiveViewInBrowser, PageFollowsAPostureSentThroughTheLibrary) {
    if (!executable(kChromium) || !executable(kDriver))
        GTEST_SKIP() << "needs Debian's chromium and chromium-driver (scripts/install-deps.sh installs them)";
    start(sim::kOrvida);
    sim::WebView view(*seat_, 0);
    Browser browser;
    browser.open("http://127.0.0.1:" + std::to_string(view.port()) + "/");
    EXPECT_EQ(browser.run("return document.title;").get<std::string>(), "Karvel virtual seat");
    EXPECT_EQ(browser.waitForText("status", "live"), "live") << "the event stream did not open";
    EXPECT_EQ(browser.waitForText("model", "Orvida"), "Orvida");

    auto& karvel = karvel::test::karvelLibrary();
    karvel.SendSeatPosture(4, -3, 30, 0.6f);
    waitForFrames(1);
    EXPECT_EQ(browser.waitForText("pitch", "4.00°"), "4.00°");
    EXPECT_EQ(browser.waitForText("roll", "-3.00°"), "-3.00°");
    EXPECT_EQ(browser.waitForText("yaw", "30.00°"), "30.00°");
    EXPECT_EQ(browser.waitForText("height", "0.600"), "0.600");
    EXPECT_EQ(browser.waitForText("frames", "1"), "1");
    EXPECT_EQ(browser.text("malformed"), "0");
    EXPECT_EQ(browser.text("target-u"), std::to_string(seat_->snapshot().motion.last.targets.u));
    // A turn of 30 degrees within one frame is beyond any envelope: flagged on the page.
    karvel.SendSeatPosture(4, -3, 60, 0.6f);
    waitForFrames(2);
    EXPECT_EQ(browser.waitForText("flagged", "1"), "1");
    EXPECT_NE(browser.text("last-flag").find("frame 2: yaw +30.000deg"), std::string::npos) << browser.text("last-flag");
    EXPECT_EQ(browser.text("rate-pitch"), "0.0°/s");
    if (effectsExports().available()) {
        effectsExports().SetWindSpeed(2);
        EXPECT_EQ(browser.waitForText("wind", "70 (medium)"), "70 (medium)");
    }

    const std::string png = browser.screenshotPng();
    ASSERT_GT(png.size(), 1000u);
    EXPECT_EQ(png.substr(1, 3), "PNG");
    const std::string artefact = std::string(KARVEL_ARTIFACT_DIR) + "/web-view.png";
    std::ofstream(artefact, std::ios::binary) << png;
    std::printf("screenshot: %s\n", artefact.c_str());
}

} // namespace
} // namespace karvel::tools::test
