// The live view in a real headless Chromium, driven over WebDriver: the page
// loads, its numbers follow a posture sent through the library, its rates
// fall to zero when the frames stop, its reset starts a new session, and at
// 720 and 1400 pixels wide everything that must be seen is inside the window;
// screenshots are left in the build tree as artefacts.
#include <gtest/gtest.h>

#include <httplib.h>
#include <nlohmann/json.hpp>

#include <cmath>
#include <cstdlib>
#include <filesystem>
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

// One browser session of a chromedriver started for the test, with a window
// `width` pixels wide and a profile of its own that is removed afterwards.
class Browser {
public:
    explicit Browser(int width)
        : profile_(freshProfile()), port_(freeTcpPort()), driver_({kDriver, "--port=" + std::to_string(port_)}),
          http_("127.0.0.1", port_) {
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
                   {"--headless", "--no-sandbox", "--disable-gpu", "--disable-quic", "--no-first-run",
                    "--disable-background-networking", "--disable-component-update", "--disable-sync",
                    "--disable-dev-shm-usage", "--hide-scrollbars", "--user-data-dir=" + profile_,
                    "--window-size=" + std::to_string(width) + ",900"}}}}}}}}};
        session_ = request("POST", "/session", capabilities)["sessionId"].get<std::string>();
    }
    ~Browser() {
        if (!session_.empty()) http_.Delete(("/session/" + session_).c_str());
        std::error_code ignored;
        std::filesystem::remove_all(profile_, ignored);
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
    // Makes the window as tall as the page, so that one screenshot holds all of it.
    void fitHeightToPage() {
        const nlohmann::json sizes = run("return [window.outerWidth, window.outerHeight - window.innerHeight, "
                                         "document.documentElement.scrollHeight];");
        request("POST", path("/window/rect"),
                {{"width", sizes[0]}, {"height", sizes[1].get<int>() + sizes[2].get<int>()}});
    }
    std::string screenshotPng() { return decodeBase64(request("GET", path("/screenshot"), nullptr).get<std::string>()); }

private:
    static std::string freshProfile() {
        char pattern[] = "/tmp/karvel-chromium-XXXXXX";
        if (::mkdtemp(pattern) == nullptr) throw std::runtime_error("cannot make a browser profile folder");
        return pattern;
    }
    std::string path(const std::string& tail) const { return "/session/" + session_ + tail; }
    nlohmann::json request(const std::string& method, const std::string& target, const nlohmann::json& body) {
        const auto response = method == "GET" ? http_.Get(target.c_str())
                                              : http_.Post(target.c_str(), body.dump(), "application/json");
        if (!response) throw std::runtime_error("no answer from chromedriver to " + target);
        const nlohmann::json json = nlohmann::json::parse(response->body);
        if (response->status != 200) throw std::runtime_error(target + ": " + json.dump());
        return json["value"];
    }

    std::string profile_;
    int port_;
    ChildProcess driver_;
    httplib::Client http_;
    std::string session_;
};

void keepScreenshot(Browser& browser, const std::string& name) {
    const std::string png = browser.screenshotPng();
    ASSERT_GT(png.size(), 1000u);
    EXPECT_EQ(png.substr(1, 3), "PNG");
    const std::string artefact = std::string(KARVEL_ARTIFACT_DIR) + "/" + name;
    std::ofstream(artefact, std::ios::binary) << png;
    std::printf("screenshot: %s\n", artefact.c_str());
}

bool haveBrowser() { return executable(kChromium) && executable(kDriver); }
const char* const kNoBrowser = "needs Debian's chromium and chromium-driver (scripts/install-deps.sh installs them)";

class LiveViewInBrowser : public LibraryAgainstSim {
protected:
    void SetUp() override {
        if (!haveBrowser()) GTEST_SKIP() << kNoBrowser;
        start(KarvelSeat::OrvidaSeat);
        view_ = std::make_unique<sim::WebView>(*seat_, 0);
        seat_->setHttpPort(view_->port());
    }
    void TearDown() override {
        view_.reset();
        LibraryAgainstSim::TearDown();
    }
    std::string url() const { return "http://127.0.0.1:" + std::to_string(view_->port()) + "/"; }

    std::unique_ptr<sim::WebView> view_;
};

TEST_F(LiveViewInBrowser, PageFollowsAPostureSentThroughTheLibrary) {
    Browser browser(1280);
    browser.open(url());
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
    // X's bar is its share of the Orvida's stroke of 120000 pulses.
    const double barX = seat_->snapshot().motion.last.targets.x / 120000.0 * 100.0;
    EXPECT_NEAR(std::stod(browser.run("return document.getElementById('bar-x').style.width;").get<std::string>()), barX, 1e-3);
    // A turn of 30 degrees within one frame is beyond any envelope: flagged on the page.
    karvel.SendSeatPosture(4, -3, 60, 0.6f);
    waitForFrames(2);
    EXPECT_EQ(browser.waitForText("flagged", "1"), "1");
    EXPECT_NE(browser.text("last-flag").find("frame 2: yaw +30.000deg"), std::string::npos) << browser.text("last-flag");
    EXPECT_EQ(browser.text("rate-pitch"), "0.0°/s");
    // No frame follows: the seat stands still, and the page says so.
    EXPECT_EQ(browser.waitForText("rate-yaw", "0.0°/s"), "0.0°/s");
    EXPECT_EQ(browser.waitForText("fps", "0"), "0");
    EXPECT_EQ(browser.text("flagged"), "1") << "the session's count stays";
    karvel.SetWindSpeed(2);
    EXPECT_EQ(browser.waitForText("wind", "70 (medium)"), "70 (medium)");

    // The reset button: a new session, its counters from zero, the outputs as they stand.
    browser.run("document.getElementById('reset').click(); return null;");
    EXPECT_EQ(browser.waitForText("frames", "0"), "0");
    EXPECT_EQ(browser.text("flagged"), "0");
    EXPECT_EQ(browser.text("session").rfind("session 2 ", 0), 0u) << browser.text("session");
    EXPECT_EQ(browser.text("yaw"), "60.00°");
    EXPECT_EQ(browser.text("wind"), "70 (medium)");
}

// What must be seen at a width, each element wholly inside the window and its text not cut off.
const char* const kMustBeSeen[] = {
    "model", "motion-port", "session", "status", "reset", "seat", "pitch", "roll", "yaw", "height",
    "rate-pitch", "rate-yaw", "rate-height", "flagged", "rate-limits", "frames", "fps", "malformed",
    "relay-requests", "speed-requests", "plot", "bar-x", "target-x", "target-u", "wind-box", "mist-box",
    "scent-box", "heater-box"};

class LiveViewLayout : public LiveViewInBrowser, public ::testing::WithParamInterface<int> {};

TEST_P(LiveViewLayout, EverythingThatMustBeSeenIsInsideTheWindow) {
    const int width = GetParam();
    Browser browser(width);
    browser.open(url());
    ASSERT_EQ(browser.waitForText("status", "live"), "live");
    // Two seconds of a ride at 50 Hz, within the envelope; yaw up to 30 degrees
    // shows on the yaw lane's smallest scale, +-45.
    constexpr int kFrames = 100;
    const auto start = std::chrono::steady_clock::now();
    for (int i = 1; i <= kFrames; ++i) {
        std::this_thread::sleep_until(start + std::chrono::milliseconds(20 * i)); // the sender's own pace
        const float phase = 6.2831853f * static_cast<float>(i) / kFrames;
        karvel::test::karvelLibrary().SendSeatPosture(8 * std::sin(phase), 6 * std::sin(2 * phase),
                                                     30 * std::sin(phase), 0.5f + 0.2f * std::sin(2 * phase));
        waitForFrames(static_cast<std::uint64_t>(i)); // one at a time: none gives way in the library's queue
    }
    ASSERT_EQ(browser.waitForText("frames", std::to_string(kFrames)), std::to_string(kFrames));
    const auto deadline = std::chrono::steady_clock::now() + kDeadline;
    std::string yawRange;
    while (yawRange != "45" && std::chrono::steady_clock::now() < deadline)
        yawRange = browser.run("return document.getElementById('plot').dataset.yawRange || '';").get<std::string>();
    EXPECT_EQ(yawRange, "45");
    EXPECT_EQ(browser.run("return window.innerWidth;").get<int>(), width);
    browser.fitHeightToPage();
    browser.run("return new Promise((done) => requestAnimationFrame(() => done(null)));");

    nlohmann::json ids = nlohmann::json::array();
    for (const char* id : kMustBeSeen) ids.push_back(id);
    const nlohmann::json layout = browser.run(
        "const ids = " + ids.dump() + R"(;
        const w = window.innerWidth, h = window.innerHeight, problems = [];
        if (document.documentElement.scrollWidth > w) problems.push('the page is wider than the window');
        for (const id of ids) {
          const e = document.getElementById(id), r = e.getBoundingClientRect();
          if (r.width < 1 || r.height < 1) problems.push(id + ' has no size');
          else if (r.left < 0 || r.top < 0 || r.right > w + 0.5 || r.bottom > h + 0.5)
            problems.push(id + ' reaches outside the window: ' + JSON.stringify(r));
          if (e.scrollWidth > e.clientWidth + 1) problems.push(id + ' cuts its text off');
        }
        const sections = [...document.querySelectorAll('section')].map((s) => s.getBoundingClientRect());
        sections.forEach((a, i) => sections.forEach((b, j) => {
          if (i < j && a.left < b.right && b.left < a.right && a.top < b.bottom && b.top < a.bottom)
            problems.push('sections ' + i + ' and ' + j + ' overlap');
        }));
        const plot = document.getElementById('plot');
        if (plot.width < plot.clientWidth) problems.push('the plot is drawn smaller than it is shown');
        return problems;)");
    EXPECT_TRUE(layout.empty()) << layout.dump(1);
    keepScreenshot(browser, "web-view-" + std::to_string(width) + ".png");
}

INSTANTIATE_TEST_SUITE_P(Widths, LiveViewLayout, ::testing::Values(720, 1400));

} // namespace
} // namespace karvel::tools::test
