// karvel-sim: the virtual seat. Stands in for the motion controller, the
// relay board and the fan speed controller on one local address (127.0.0.1
// unless --bind says otherwise) and serves the live view, until Ctrl-C or a
// request to end; then prints what it received.
#include <cstdio>
#include <exception>
#include <memory>
#include <string>
#include <vector>

#include <CLI/CLI.hpp>

#include "StateJson.h"
#include "StopSignal.h"
#include "VirtualSeat.h"
#include "WebView.h"

namespace {

bool isLoopback(const karvel::net::Ipv4Endpoint& address) { return address.octets[0] == 127; }

} // namespace

int main(int argc, char** argv) {
    using namespace karvel::sim;
    namespace net = karvel::net;
    CLI::App app{"karvel-sim: a virtual motion seat with its effects devices", "karvel-sim"};
    std::string model = "orvida";
    std::string bind = "127.0.0.1";
    SeatOptions options;
    std::uint16_t httpPort = 8080;
    bool noWeb = false;
    std::vector<double> maxRates;
    app.add_option("--model", model, "seat model whose crank constants invert the targets: tamsel or orvida")
        ->capture_default_str();
    app.add_option("--bind", bind,
                   "IPv4 address the devices and the live view listen on (0.0.0.0: all of this machine's); "
                   "beyond loopback, anyone who reaches it can drive the devices and read the view")
        ->capture_default_str();
    app.add_option("--motion-port", options.motionPort, "UDP port of the motion controller (0: any free)")
        ->capture_default_str();
    app.add_option("--relay-port", options.relayPort, "TCP port of the relay board, Modbus-TCP (0: any free)")
        ->capture_default_str();
    app.add_option("--speed-port", options.speedPort, "TCP port of the fan speed controller, RTU-over-TCP (0: any free)")
        ->capture_default_str();
    app.add_option("--http-port", httpPort, "TCP port of the live view (0: any free)")->capture_default_str();
    app.add_flag("--no-web", noWeb, "serve no live view");
    app.add_option("--max-rates", maxRates,
                   "PITCH,ROLL,YAW,HEIGHT: deg/s and height/s beyond which a frame is flagged "
                   "(default: the largest of the cueing presets)")
        ->delimiter(',')
        ->expected(4)
        ->check(CLI::Range(1e-3, 1e5));
    CLI11_PARSE(app, argc, argv);
    if (!maxRates.empty()) options.maxRates = {maxRates[0], maxRates[1], maxRates[2], maxRates[3]};
    options.model = KarvelSeat::FindSeatModel(model);
    if (options.model == nullptr) {
        std::fprintf(stderr, "karvel-sim: unknown seat model '%s' (tamsel or orvida)\n", model.c_str());
        return 2;
    }
    if (!net::parseIpv4(bind.c_str(), options.address.octets)) {
        std::fprintf(stderr, "karvel-sim: --bind takes an IPv4 address such as 127.0.0.1 or 0.0.0.0, not '%s'\n",
                     bind.c_str());
        return 2;
    }

    StopSignal stop; // before any thread starts
    net::startSocketLibrary();
    try {
        VirtualSeat seat(options);
        std::unique_ptr<WebView> view;
        if (!noWeb) {
            view = std::make_unique<WebView>(seat, httpPort);
            seat.setHttpPort(view->port());
        }
        const Ports ports = seat.ports();
        const char* address = bind.c_str();
        std::printf("karvel-sim ready: motion=%d relay=%d speed=%d http=%d\n", ports.motion, ports.relay, ports.speed,
                    ports.http);
        std::printf("  %s seat; motion controller udp %s:%d, relay board tcp %s:%d (Modbus-TCP), "
                    "fan speed controller tcp %s:%d (RTU-over-TCP)\n",
                    options.model->Name, address, ports.motion, address, ports.relay, address, ports.speed);
        const bool everywhere = bind == "0.0.0.0";
        if (view)
            std::printf("  live view: http://%s:%d/%s\n", everywhere ? "127.0.0.1" : address, ports.http,
                        everywhere ? " (or at any address of this machine)" : "");
        if (!isLoopback(options.address))
            std::printf("  listening beyond this machine: anyone who can reach %s can drive the virtual devices "
                        "and read the live view\n",
                        address);
        std::fflush(stdout);

        stop.wait();
        std::printf("%s", summaryText(seat.snapshot()).c_str());
        std::fflush(stdout);
    } catch (const std::exception& error) {
        std::fprintf(stderr, "karvel-sim: %s\n", error.what());
        return 1;
    }
    return 0;
}
