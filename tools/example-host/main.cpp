// A small host of the Karvel library: loads it by path, registers a Tamsel
// seat aimed at a loopback receiver of its own, streams a short sine-wave
// posture sequence, homes the seat and prints what the receiver decoded.
#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <string>
#include <thread>
#include <vector>

#include "KarvelLibrary.h"
#include "platform/SocketServices.h"

namespace {

constexpr int kPostures = 100;

std::atomic<int> errorLines{0};

void printLog(int level, const char* message) {
    if (level >= KARVEL_LOG_INFO) std::printf("  library: %s\n", message);
    if (level == KARVEL_LOG_ERROR) ++errorLines;
}

std::int32_t field(const std::uint8_t* frame, int offset) {
    return static_cast<std::int32_t>((std::uint32_t{frame[offset]} << 24) | (std::uint32_t{frame[offset + 1]} << 16) |
                                     (std::uint32_t{frame[offset + 2]} << 8) | std::uint32_t{frame[offset + 3]});
}

} // namespace

int main(int argc, char** argv) {
    const std::string path = argc > 1 ? argv[1] : KARVEL_LIBRARY_PATH;
    karvel::host::KarvelLibrary karvel(path);
    if (!karvel.bound()) {
        std::fprintf(stderr, "cannot use the library %s: %s\n", path.c_str(), karvel.error().c_str());
        return 1;
    }
    karvel::net::startSocketLibrary();
    const karvel::net::SocketHandle receiver = karvel::net::openUdpSocket();
    if (receiver == karvel::net::kInvalidSocket || !karvel::net::bindLoopback(receiver, 0)) {
        std::fprintf(stderr, "cannot open the loopback receiver\n");
        return 1;
    }
    const int port = karvel::net::localPort(receiver);
    std::printf("%s, motion controller stand-in on 127.0.0.1:%d\n", karvel.GetVersion(), port);

    karvel.SetLogCallback(&printLog);
    if (!karvel.SetConfiguration(0, "127.0.0.1", port, 0, "", 0, "", 0)) {
        std::fprintf(stderr, "the seat could not be registered\n");
        return 1;
    }

    std::vector<std::vector<std::uint8_t>> frames;
    std::thread reader([&] {
        std::uint8_t buffer[256];
        for (int i = 0; i < kPostures + 1; ++i) {
            const long size = karvel::net::receiveFrom(receiver, buffer, sizeof buffer, 2000, nullptr);
            if (size <= 0) break;
            frames.emplace_back(buffer, buffer + size);
        }
    });
    for (int i = 0; i < kPostures; ++i) {
        const float phase = static_cast<float>(i) / kPostures * 2.0f * 3.14159265f;
        karvel.SendSeatPosture(10.0f * std::sin(phase), 6.0f * std::cos(phase), 30.0f * std::sin(phase),
                               0.5f + 0.3f * std::sin(2.0f * phase));
        std::this_thread::sleep_for(std::chrono::milliseconds(10)); // a 100 Hz game loop
    }
    karvel.ResetPosition();
    reader.join();
    karvel.Release();
    karvel.SetLogCallback(nullptr);
    karvel::net::closeSocket(receiver);

    std::printf("received %zu frames (%d postures and the home command)\n", frames.size(), kPostures);
    for (std::size_t i = 0; i < frames.size(); i += frames.size() > 10 ? frames.size() / 10 : 1) {
        const std::uint8_t* f = frames[i].data();
        std::printf("  frame %3zu: %zu bytes X=%d Y=%d Z=%d U=%d\n", i, frames[i].size(), field(f, 20), field(f, 24),
                    field(f, 28), field(f, 32));
    }
    if (!frames.empty()) {
        const std::uint8_t* home = frames.back().data();
        std::printf("  home     : X=%d Y=%d Z=%d U=%d\n", field(home, 20), field(home, 24), field(home, 28),
                    field(home, 32));
    }
    const bool ok = frames.size() == kPostures + 1 && errorLines == 0;
    std::printf("%s\n", ok ? "seat driven: every frame arrived" : "FAILED: frames missing or errors logged");
    return ok ? 0 : 1;
}
