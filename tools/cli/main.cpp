// karvel: a command-line host of the Karvel library. Loads the library by
// path, registers a seat and drives it: commands from a script or standard
// input, a recorded motion file, a vehicle's telemetry through motion cueing,
// or the built-in demonstration.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <exception>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iostream>
#include <memory>
#include <optional>
#include <string>

#include <CLI/CLI.hpp>

#include "Check.h"
#include "CommandScript.h"
#include "Console.h"
#include "Cue.h"
#include "Demo.h"
#include "Interrupt.h"
#include "KarvelLibrary.h"
#include "LibraryLog.h"
#include "LogFile.h"
#include "Progress.h"
#include "Replay.h"
#include "SeatMotion.h"
#include "SeatGuard.h"
#include "SeatHost/PostureEnvelope.h"
#include "SeatSession.h"
#include "Stop.h"
#include "Terminal.h"
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

// Where the library is and where its guard keeps its state: what every
// command that loads the library shares. The library is the one named with
// --library, else the one beside karvel, else the system's.
struct HostOptions {
    std::string library;
    bool libraryNamed = false; // with --library
    std::string stateDir;      // empty: the guard's default
};

struct LoadedLibrary {
    explicit LoadedLibrary(const HostOptions& chosen) : functions(chosen.library) {
        if (!functions.bound() && chosen.libraryNamed)
            throw std::runtime_error("cannot use the library " + chosen.library + ": " + functions.error());
        if (!functions.bound())
            throw std::runtime_error("cannot find the Karvel library: " + functions.error() + " (karvel looks for " +
                                     host::libraryFileName() +
                                     " beside itself, then on the system's search path; --library PATH names another)");
        // Stays registered while the library unloads: the callback lives in this program.
        functions.SetLogCallback(&onLibraryLine);
    }
    host::KarvelLibrary functions;
};

HostOptions hostOptions(const std::string& libraryNamed, const std::string& stateDir) {
    if (libraryNamed.empty()) return {host::defaultLibraryPath(), false, stateDir};
    std::error_code error;
    if (!std::filesystem::exists(std::filesystem::u8path(libraryNamed), error))
        throw UsageError("no library at " + libraryNamed + " (--library)");
    return {libraryNamed, true, stateDir};
}

// Loads a CSV file with `load`, saying how far it is when it takes a while
// (a recording of hours is hundreds of megabytes).
template <typename Load>
auto loadShowingProgress(const std::string& path, Load load) {
    using Clock = std::chrono::steady_clock;
    const Clock::time_point start = Clock::now();
    Progress progress("karvel", terminal::isTerminal(terminal::Stream::Error), 0.5);
    const std::string name = std::filesystem::u8path(path).filename().u8string();
    return load(path, [&](std::uint64_t read, std::uint64_t size) {
        const double elapsed = std::chrono::duration<double>(Clock::now() - start).count();
        read = std::min(read, size);
        if (!progress.due(elapsed, read == size)) return;
        progress.show({read, size, elapsed, -1,
                       console::format("read %.0f of %.0f MB of %s", static_cast<double>(read) / 1e6,
                                       static_cast<double>(size) / 1e6, name.c_str())});
    });
}

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
        console::printResult(console::format("%s: %sparked in %.2f s (%llu frames)", ride.name, detail, seconds, frames));
        break;
    case ParkOutcome::End::CutShort:
        console::printResult(console::format("%s: %spark cut short after %.2f s (%llu frames), homing the seat at once",
                                             ride.name, detail, seconds, frames));
        break;
    case ParkOutcome::End::NotInTime:
        console::printResult(
            console::format("%s: %sthe seat was not home in time, homing it at once", ride.name, detail));
        break;
    }
}

// However a ride ends (done, a stop request, an error): the effects off at
// once, then the host rules' shutdown with the soft park (cut short by a
// second stop request), the effects off, home and release; then the count of
// what left the library.
void endRide(SeatSession& seat, SeatMotion& motion, const Ride& ride) {
    const bool effects = seat.effectsEnabled(); // the release ends them
    if (effects) seat.effectsOff();
    if (interrupted()) console::printLine("karvel: interrupted; parking the seat");
    seat.finish([&] { printPark(ride, motion.park()); });
    const std::uint64_t asked = seat.framesRequested();
    const std::uint64_t givenWay = std::min(framesGivenWay(), asked);
    console::printResult(console::format("karvel: %llu of %llu frames sent (home included), %llu given way%s",
                                         static_cast<unsigned long long>(asked - givenWay),
                                         static_cast<unsigned long long>(asked),
                                         static_cast<unsigned long long>(givenWay),
                                         effects ? effectsEnding(effectsDeviceReports()).c_str() : ""));
}

// Registers the seat under the watch of its guard, runs `drive` and always
// ends the ride safely. The exit status is the stop request's when one came.
int withSeat(const HostOptions& host, const SeatOptions& options, const Ride& ride,
             const std::function<int(SeatSession&, SeatMotion&)>& drive) {
    const SeatSetup setup = seatSetup(options);
    LoadedLibrary library(host);
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

// What was wrong with the command line, and where to read more: CLI11's
// words, but for a command it does not know, which it reports as none given.
std::string commandLineError(CLI::App& app, const CLI::ParseError& error) {
    const std::vector<std::string> left = app.remaining();
    const auto word = std::find_if(left.begin(), left.end(), [](const std::string& w) { return w.rfind('-', 0) != 0; });
    if (app.get_subcommands().empty() && word != left.end()) {
        std::string names;
        for (const CLI::App* command : app.get_subcommands({})) names += (names.empty() ? "" : ", ") + command->get_name();
        return "unknown command '" + *word + "': the commands are " + names + " (karvel --help says what each does)";
    }
    return error.what() + std::string(" (karvel --help lists the commands and options)");
}

// The command line as one line of the log file.
std::string commandLine(int argc, char** argv) {
    std::string line;
    for (int i = 0; i < argc; ++i) {
        const std::string word = argv[i];
        const bool quote = word.empty() || word.find_first_of(" \t\"") != std::string::npos;
        line += (i == 0 ? "" : " ") + (quote ? "\"" + word + "\"" : word);
    }
    return line;
}

} // namespace

int main(int argc, char** argv) {
    catchInterrupts();
    terminal::prepare();
    CLI::App app{"karvel: drives a motion seat through the Karvel library"};
    app.require_subcommand(1);
    app.fallthrough(); // the global options after the command too
    std::string libraryPath;
    std::string stateDir;
    std::string logLevel = "error";
    std::string logFilePath;
    app.add_option("--library", libraryPath,
                   "path of the Karvel library (default: the one beside karvel, else the system's)");
    app.add_option("--state-dir", stateDir, "folder of the guard's state file (default: the per-user state folder)");
    app.add_option("--log-level", logLevel, "library lines to show: debug, info, error or off")->capture_default_str();
    app.add_option("--log-file", logFilePath,
                   "append every line printed and the library's lines from INFO on, with time stamps, to this file");

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

    SeatOptions checkSeatOptions;
    CheckSetup checkSetup;
    CLI::App* checkCommand = app.add_subcommand(
        "check", "commission a seat: move each axis gently, switch each effect on at its lowest level and off, and "
                 "report which device answered (status 1 when one did not)");
    addSeatOptions(*checkCommand, checkSeatOptions);
    checkCommand->add_option("--hold", checkSetup.holdSeconds, "seconds at each end of an axis and with each effect on")
        ->capture_default_str()
        ->check(CLI::Range(0.0, 10.0));

    SeatOptions stopSeatOptions;
    StopOptions stopOptions;
    CLI::App* stopCommand = app.add_subcommand(
        "stop", "park a seat whose host is gone and turn its effects off, from its guard's last state");
    addSeatOptions(*stopCommand, stopSeatOptions);
    stopCommand->add_option("--port-wait", stopOptions.portWaitSeconds, "seconds to wait for UDP port 8410 to be free")
        ->capture_default_str()
        ->check(CLI::Range(0.0, 3600.0));

    for (CLI::App* command : app.get_subcommands({}))
        command->footer("karvel's own options, anywhere on the line: --library PATH, --state-dir DIR, --log-level LEVEL, "
                        "--log-file PATH (karvel --help)");
    try {
        // CLI11 reads the words as argv holds them: from the UTF-8 copy.
        std::vector<std::string> words = terminal::commandLine(argc, argv);
        std::vector<char*> wordPointers;
        for (std::string& word : words) wordPointers.push_back(word.data());
        app.parse(static_cast<int>(wordPointers.size()), wordPointers.data());
    } catch (const CLI::ParseError& error) {
        if (error.get_exit_code() == static_cast<int>(CLI::ExitCodes::Success)) return app.exit(error); // --help
        std::fprintf(stderr, "karvel: %s\n", commandLineError(app, error).c_str());
        return 2;
    }

    // Runs the command; its exit status.
    const auto command = [&]() -> int {
        const std::optional<LogLevel> level = parseLogLevel(logLevel);
        if (!level) throw UsageError("unknown log level '" + logLevel + "' (debug, info, error or off)");
        setLogLevel(*level);
        if (*tuneCommand) { // offline: no seat, no library
            const NamedProfile profile = loadCueProfile(tuneProfile);
            const TelemetryFile telemetry = loadShowingProgress(tuneSetup.telemetryPath, loadTelemetryFile);
            return tune(telemetry, profile, tuneSetup);
        }
        const HostOptions host = hostOptions(libraryPath, stateDir);

        if (*version) {
            LoadedLibrary loaded(host);
            console::printResult(loaded.functions.GetVersion());
            return 0;
        }
        if (*stopCommand) {
            stopOptions.stateDir = host.stateDir;
            stopOptions.seat = seatSetup(stopSeatOptions);
            LoadedLibrary library(host);
            return stopSeat(library.functions, stopOptions);
        }
        if (*run) {
            std::ifstream file;
            if (!script.empty()) {
                file.open(std::filesystem::u8path(script));
                if (!file) throw UsageError("cannot open the script " + script);
            }
            return withSeat(host, runSeat, {"run", "", KarvelSeat::PostureEnvelope(), runRate},
                            [&](SeatSession& seat, SeatMotion& motion) {
                                const RunTarget target{seat, motion};
                                return script.empty() ? runScript(target, std::cin, "stdin",
                                                                  terminal::isTerminal(terminal::Stream::Input))
                                                      : runScript(target, file, script, false);
                            });
        }
        if (*replayCommand) {
            const MotionFile motion = loadShowingProgress(motionPath, loadMotionFile);
            return withSeat(host, replaySeat, {"replay", "", KarvelSeat::PostureEnvelope(), replayRate},
                            [&](SeatSession& seat, SeatMotion& stream) { return replay(seat, stream, motion); });
        }
        if (*cueCommand) {
            const NamedProfile profile = loadCueProfile(profileName);
            const TelemetryFile telemetry = loadShowingProgress(telemetryPath, loadTelemetryFile);
            return withSeat(host, cueSeat, {"cue", "profile " + profile.name + "; ", profile.profile, cueRate},
                            [&](SeatSession&, SeatMotion& motion) { return cue(motion, telemetry); });
        }
        if (*checkCommand) {
            const int status = withSeat(host, checkSeatOptions, {"check", "", loadCueProfile("gentle").profile, 100},
                                        [&](SeatSession& seat, SeatMotion& motion) {
                                            return checkSeat(seat, motion, checkSetup);
                                        });
            if (status != 0) return status;
            const SeatSetup setup = seatSetup(checkSeatOptions);
            CheckedSeat checked{setup.motion.text(), "", ""};
            if (setup.model->HasEffects) {
                checked.relay = setup.relay.text();
                checked.speed = setup.speed.text();
            }
            return reportCheck(checked, effectsDeviceReports());
        }
        return withSeat(host, demoSeat, {"demo", "", KarvelSeat::PostureEnvelope(), demoRate},
                        [&](SeatSession& seat, SeatMotion& motion) { return demo(seat, motion, demoSeconds); });
    };

    std::unique_ptr<LogFile> logFile;
    int status = 0;
    try {
        if (!logFilePath.empty()) {
            logFile = std::make_unique<LogFile>(logFilePath);
            console::copyTo(logFile.get());
            console::logOnly("karvel started: " + commandLine(argc, argv));
        }
        status = command();
    } catch (const UsageError& error) {
        console::printLine(std::string("karvel: ") + error.what());
        status = 2;
    } catch (const std::exception& error) {
        console::printLine(std::string("karvel: ") + error.what());
        status = 1;
    }
    console::logOnly("karvel ended with status " + std::to_string(status));
    console::copyTo(nullptr);
    return status;
}
