// karvel-sim: the virtual seat. Stands in for the motion controller, the
// relay board and the fan speed controller on 127.0.0.1 and serves the live
// view, until Ctrl-C or SIGTERM; then prints what it received.
#include <csignal>
#include <cstdio>
#include <exception>
#include <memory>
#include <string>
#include <vector>

#include <CLI/CLI.hpp>

#include "StateJson.h"
#include "VirtualSeat.h"
#include "WebView.h"

int main(int argc, char** argv) {
    using namespace karvel::sim;
    CLI::App app{"karvel-sim: a virtual motion seat with its effects devices, on 127.0.0.1"};
    std::string model = "orvida";
    SeatOptions options;
    std::uint16_t httpPort = 8080;
    bool noWeb = false;
    std::vector<double> maxRates;
    app.add_option("--model", model, "seat model whose crank constants invert the targets: tamsel or orvida")
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

    // Every thread started below inherits the blocked signals; this one takes them.
    sigset_t stopSignals;
    sigemptyset(&stopSignals);
    sigaddset(&stopSignals, SIGINT);
    sigaddset(&stopSignals, SIGTERM);
    pthread_sigmask(SIG_BLOCK, &stopSignals, nullptr);

    try {
        VirtualSeat seat(options);
        std::unique_ptr<WebView> view;
        if (!noWeb) {
            view = std::make_unique<WebView>(seat, httpPort);
            seat.setHttpPort(view->port());
        }
        const Ports ports = seat.ports();
        std::printf("karvel-sim ready: motion=%d relay=%d speed=%d http=%d\n", ports.motion, ports.relay, ports.speed,
                    ports.http);
        std::printf("  %s seat; motion controller udp 127.0.0.1:%d, relay board tcp 127.0.0.1:%d (Modbus-TCP), "
                    "fan speed controller tcp 127.0.0.1:%d (RTU-over-TCP)\n",
                    options.model->Name, ports.motion, ports.relay, ports.speed);
        if (view) std::printf("  live view: http://127.0.0.1:%d/\n", ports.http);
        std::fflush(stdout);

        int received = 0;
        sigwait(&stopSignals, &received);
        std::printf("%s", summaryText(seat.snapshot()).c_str());
    } catch (const std::exception& error) {
        std::fprintf(stderr, "karvel-sim: %s\n", error.what());
        return 1;
    }
    return 0;
}
