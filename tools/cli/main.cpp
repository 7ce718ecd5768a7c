// karvel: a command-line host of the Karvel library. Loads the library by
// path, registers a seat and drives it: commands from a script or standard
// input, a recorded motion file, a vehicle's telemetry through motion cueing,
// or the built-in demonstration.
#include <algorithm>
#include <cstdio>
#include <exception>
#include <fstream>
#include <functional>
#include <iostream>
#include <memory>
#include <string>

#include <unistd.h>

#include <CLI/CLI.hpp>

#include "CommandScript.h"
#include "Console.h"
#include "Cue.h"
#include "Demo.h"
#include "Interrupt.h"
#include "KarvelLibrary.h"
#include "LibraryLog.h"
#include "Replay.h"
#include "SeatMotion.h"
#include "SeatGuard.h"
#include "SeatHost/PostureEnvelope.h"
#include "SeatSession.h"
#include "Stop.h"
#include "Tune.h"

using namespace karvel;
using namespace karvel::cli;

namespace {

struct SeatOptions {
    std::string model = "orvida";
    std::string motion = "127.0.0.1:7408";
    std::string relay = "127.0.0.1:8234";
    std::string speed = "127.0.0.1:8235";
};

void addSeatOptions(CLI::App& command, SeatOptions& options) {
    command.add_option("--model", options.model, "seat model: orvida (motion and effects) or tamsel (motion only)")
        ->capture_default_str();
    command.add_option("--udp", options.motion, "motion controller, IPv4:port")->capture_default_str();
    command.add_option("--relay", options.relay, "relay board (Modbus-TCP), IPv4:port")->capture_default_str();
    command.add_option("--speed", options.speed, "fan speed controller (RTU-over-TCP), IPv4:port")
        ->capture_default_str();
}

tools::Endpoint endpointOption(const std::string& name, const std::string& text) {
    const std::optional<tools::Endpoint> endpoint = tools::parseEndpoint(text);
    if (!endpoint) throw UsageError("bad address for " + name + " '" + text + "': expected IPv4:port, port 1..65535");
    return *endpoint;
}

SeatSetup seatSetup(const SeatOptions& options) {
    SeatSetup setup;
    setup.model = KarvelSeat::FindSeatModel(options.model);
    if (setup.model == nullptr) throw UsageError("unknown seat model '" + options.model + "' (orvida or tamsel)");
    setup.motion = endpointOption("--udp", options.motion);
    setup.relay = endpointOption("--relay", options.relay);
    setup.speed = endpointOption("--speed", options.speed);
    return setup;
}

struct LoadedLibrary {
    explicit LoadedLibrary(const std::string& path) : functions(path) {
        if (!functions.bound()) throw std::runtime_error("cannot use the library " + path + ": " + functions.error());
        // Stays registered while the library unloads: the callback lives in this program.
        functions.SetLogCallback(&onLibraryLine);
    }
    host::KarvelLibrary functions;
};

// How one command drives the seat: its name in the summary lines, the
// envelope every posture passes and the frame rate.
struct Ride {
    const char* name;
    std::string parkDetail; // before "parked in" ("profile road; ")
    KarvelCueing::CueingProfile envelope;
    double rateHz;
};

void printPark(const Ride& ride, const ParkOutcome& parked) {
    const double seconds = static_cast<double>(parked.frames) / ride.rateHz;
    const auto frames = static_cast<unsigned long long>(parked.frames);
    const char* detail = ride.parkDetail.c_str();
    switch (parked.end) {
    case ParkOutcome::End::Home:
        std::printf("%s: %sparked in %.2f s (%llu frames)\n", ride.name, detail, seconds, frames);
        break;
    case ParkOutcome::End::CutShort:
        std::printf("%s: %spark cut short after %.2f s (%llu frames), homing the seat at once\n", ride.name, detail,
                    seconds, frames);
        break;
    case ParkOutcome::End::NotInTime:
        std::printf("%s: %sthe seat was not home in time, homing it at once\n", ride.name, detail);
        break;
    }
}

// However a ride ends (done, a stop request, an error): the effects off at
// once, then the host rules' shutdown with the soft park (cut short by a
// second stop request), the effects off, home and release; then the count of
// what left the library.
void endRide(SeatSession& seat, SeatMotion& motion, const Ride& ride) {
    if (seat.effectsEnabled()) seat.effectsOff();
    if (interrupted()) console::printLine("karvel: interrupted; parking the seat");
    seat.finish([&] { printPark(ride, motion.park()); });
    const std::uint64_t asked = seat.framesRequested();
    const std::uint64_t givenWay = std::min(framesGivenWay(), asked);
    std::printf("karvel: %llu of %llu frames sent (home included), %llu given way%s\n",
                static_cast<unsigned long long>(asked - givenWay), static_cast<unsigned long long>(asked),
                static_cast<unsigned long long>(givenWay), seat.effectsEnabled() ? ", effects off" : "");
}

// Where the library is and where its guard keeps its state: what every
// command that drives a seat shares.
struct HostOptions {
    std::string library = KARVEL_LIBRARY_PATH;
    std::string stateDir; // empty: the guard's default
};

// Registers the seat under the watch of its guard, runs `drive` and always
// ends the ride safely. The exit status is the stop request's when one came.
int withSeat(const HostOptions& host, const SeatOptions& options, const Ride& ride,
             const std::function<int(SeatSession&, SeatMotion&)>& drive) {
    const SeatSetup setup = seatSetup(options);
    LoadedLibrary library(host.library);
    if (interrupted()) return interruptedStatus(); // before the seat was touched
    const std::unique_ptr<KarvelSeat::GuardLink> guard = seatGuard(host.library, host.stateDir);
    guard->SetEnvelope(ride.envelope);
    SeatSession seat(library.functions, setup, guard.get());
    SeatMotion motion(seat, ride.envelope, ride.rateHz);
    int status = 0;
    std::exception_ptr failure;
    try {
        status = drive(seat, motion);
    } catch (...) {
        failure = std::current_exception();
    }
    endRide(seat, motion, ride);
    if (failure) std::rethrow_exception(failure);
    return interrupted() ? interruptedStatus() : status;
}

} // namespace

int main(int argc, char** argv) {
    catchInterrupts();
    // Each summary line as it is printed, also into a pipe or a file.
    std::setvbuf(stdout, nullptr, _IOLBF, 0);
    CLI::App app{"karvel: drives a motion seat through the Karvel library"};
    app.require_subcommand(1);
    HostOptions host;
    std::string logLevel = "info";
    app.add_option("--library", host.library, "path of the Karvel shared library")->capture_default_str();
    app.add_option("--state-dir", host.stateDir,
                   "folder of the guard's state file (default: the per-user state folder)");
    app.add_option("--log-level", logLevel, "library lines to show: debug, info, error or off")->capture_default_str();

    CLI::App* version = app.add_subcommand("version", "print the library's version");

    SeatOptions runSeat;
    std::string script;
    double runRate = 100;
    CLI::App* run = app.add_subcommand("run", "register a seat and run commands from standard input or a script");
    addSeatOptions(*run, runSeat);
    run->add_option("--script", script, "file of commands (default: standard input)");
    run->add_option("--rate", runRate, "frames per second while the seat follows the commands")
        ->capture_default_str()
        ->check(CLI::Range(1.0, 1000.0));

    SeatOptions replaySeat;
    std::string motionPath;
    double replayRate = 100;
    CLI::App* replayCommand = app.add_subcommand("replay", "stream a recorded motion file (CSV) in real time");
    addSeatOptions(*replayCommand, replaySeat);
    replayCommand->add_option("file", motionPath, "CSV with the columns time,pitch,roll,yaw,height[,wind,mist,scent,heater]")
        ->required();
    replayCommand->add_option("--rate", replayRate, "frames per second")->capture_default_str()->check(CLI::Range(1.0, 1000.0));

    SeatOptions cueSeat;
    std::string telemetryPath;
    std::string profileName = "road";
    double cueRate = 100;
    CLI::App* cueCommand =
        app.add_subcommand("cue", "cue a vehicle's telemetry (CSV) into seat motion and stream it in real time");
    addSeatOptions(*cueCommand, cueSeat);
    cueCommand->add_option("file", telemetryPath, "CSV telemetry: time, fx,fy,fz (or ax,ay,az with roll,pitch), roll_rate,pitch_rate,yaw_rate")
        ->required();
    cueCommand->add_option("--profile", profileName, "cueing profile: a preset (road, race, flight, gentle) or a profile file")
        ->capture_default_str();
    cueCommand->add_option("--rate", cueRate, "frames per second")->capture_default_str()->check(CLI::Range(1.0, 1000.0));

    TuneSetup tuneSetup;
    std::string tuneProfile = "road";
    CLI::App* tuneCommand = app.add_subcommand(
        "tune", "judge the cues of a telemetry file or recording on what a rider perceives, and write a report");
    tuneCommand->add_option("file", tuneSetup.telemetryPath, "CSV telemetry (fx,fy,fz or ax,ay,az) or a recording")
        ->required();
    tuneCommand->add_option("--profile", tuneProfile, "cueing profile: a preset (road, race, flight, gentle) or a profile file")
        ->capture_default_str();
    tuneCommand->add_option("--out", tuneSetup.outDir, "folder for the HTML report")->capture_default_str();
    tuneCommand->add_option("--rate", tuneSetup.rateHz, "cueing steps per second")->capture_default_str()->check(CLI::Range(10.0, 1000.0));
    tuneCommand->add_option("--model", tuneSetup.model, "seat model whose stroke and home the cues are judged on: orvida or tamsel")
        ->capture_default_str();

    SeatOptions demoSeat;
    double demoSeconds = 10;
    double demoRate = 50;
    CLI::App* demoCommand = app.add_subcommand("demo", "play the built-in ride with every effect");
    addSeatOptions(*demoCommand, demoSeat);
    demoCommand->add_option("--seconds", demoSeconds, "length of the ride")->capture_default_str()->check(CLI::Range(0.5, 600.0));
    demoCommand->add_option("--rate", demoRate, "frames per second")->capture_default_str()->check(CLI::Range(1.0, 1000.0));

    SeatOptions stopSeatOptions;
    StopOptions stopOptions;
    CLI::App* stopCommand = app.add_subcommand(
        "stop", "park a seat whose host is gone and turn its effects off, from its guard's last state");
    addSeatOptions(*stopCommand, stopSeatOptions);
    stopCommand->add_option("--port-wait", stopOptions.portWaitSeconds, "seconds to wait for UDP port 8410 to be free")
        ->capture_default_str()
        ->check(CLI::Range(0.0, 3600.0));

    CLI11_PARSE(app, argc, argv);

    try {
        const std::optional<LogLevel> level = parseLogLevel(logLevel);
        if (!level) throw UsageError("unknown log level '" + logLevel + "' (debug, info, error or off)");
        setLogLevel(*level);

        if (*version) {
            LoadedLibrary library(host.library);
            std::printf("%s\n", library.functions.GetVersion());
            return 0;
        }
        if (*stopCommand) {
            stopOptions.stateDir = host.stateDir;
            stopOptions.seat = seatSetup(stopSeatOptions);
            LoadedLibrary library(host.library);
            return stopSeat(library.functions, stopOptions);
        }
        if (*run) {
            std::ifstream file;
            if (!script.empty()) {
                file.open(script);
                if (!file) throw UsageError("cannot open the script " + script);
            }
            return withSeat(host, runSeat, {"run", "", KarvelSeat::PostureEnvelope(), runRate},
                            [&](SeatSession& seat, SeatMotion& motion) {
                                const RunTarget target{seat, motion};
                                return script.empty()
                                           ? runScript(target, std::cin, "stdin", isatty(STDIN_FILENO) != 0)
                                           : runScript(target, file, script, false);
                            });
        }
        if (*replayCommand) {
            const MotionFile motion = loadMotionFile(motionPath);
            return withSeat(host, replaySeat, {"replay", "", KarvelSeat::PostureEnvelope(), replayRate},
                            [&](SeatSession& seat, SeatMotion& stream) { return replay(seat, stream, motion); });
        }
        if (*cueCommand) {
            const NamedProfile profile = loadCueProfile(profileName);
            const TelemetryFile telemetry = loadTelemetryFile(telemetryPath);
            return withSeat(host, cueSeat, {"cue", "profile " + profile.name + "; ", profile.profile, cueRate},
                            [&](SeatSession&, SeatMotion& motion) { return cue(motion, telemetry); });
        }
        if (*tuneCommand) {
            const NamedProfile profile = loadCueProfile(tuneProfile);
            const TelemetryFile telemetry = loadTelemetryFile(tuneSetup.telemetryPath);
            return tune(telemetry, profile, tuneSetup);
        }
        return withSeat(host, demoSeat, {"demo", "", KarvelSeat::PostureEnvelope(), demoRate},
                        [&](SeatSession& seat, SeatMotion& motion) { return demo(seat, motion, demoSeconds); });
    } catch (const UsageError& error) {
        std::fprintf(stderr, "karvel: %s\n", error.what());
        return 2;
    } catch (const std::exception& error) {
        std::fprintf(stderr, "karvel: %s\n", error.what());
        return 1;
    }
}
