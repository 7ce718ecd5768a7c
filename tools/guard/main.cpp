// karvel-guard: parks the seat when its host ends without releasing it. A host
// (the engine plugin, karvel) starts it when it registers a seat and writes to
// its standard input what the library was configured with, each posture sent
// and the effects in force (SeatGuard/WatchedSeat.h). The input's end without
// a release line is the host's end, whatever ended it: the guard then loads
// the library itself, configures it once UDP port 8410 is free, ramps the seat
// home within the host's envelope, turns every effect off and releases. A
// release line ends it without sending anything.
//
//   karvel-guard [--library PATH] [--state-dir DIR] [--port-wait SECONDS]
//
// Exit status: 0 released, nothing registered, or parked; 1 the library could
// not be used; 2 bad options; 3 nothing sent (port 8410 stayed in use, or the
// host wrote another format).
#include <cstdio>
#include <cstdlib>
#include <mutex>
#include <string>

#include "GuardSystem.h"
#include "HostWatch.h"
#include "KarvelLibrary.h"
#include "SeatPark.h"
#include "StateFile.h"

using namespace karvel::guard;

namespace {

void say(const std::string& line) { std::fprintf(stderr, "karvel-guard: %s\n", line.c_str()); }

// The library's errors, one of each in a row: a configuration retried while
// port 8410 is taken fails the same way every time.
void onLibraryLine(int level, const char* message) {
    static std::mutex mutex;
    static std::string last;
    if (level < 2 || message == nullptr) return;
    std::lock_guard<std::mutex> lock(mutex);
    if (last == message) return;
    last = message;
    say(std::string("library: ") + message);
}

struct Options {
    std::string library;
    std::string stateDir;
    double portWaitSeconds = 30;
};

bool parse(int argc, char** argv, Options& options) {
    for (int i = 1; i < argc; ++i) {
        const std::string word = argv[i];
        if (i + 1 >= argc) return false;
        const std::string value = argv[++i];
        if (word == "--library") {
            options.library = value;
        } else if (word == "--state-dir") {
            options.stateDir = value;
        } else if (word == "--port-wait") {
            char* end = nullptr;
            options.portWaitSeconds = std::strtod(value.c_str(), &end);
            if (end == value.c_str() || *end != '\0' || !(options.portWaitSeconds >= 0 && options.portWaitSeconds <= 3600))
                return false;
        } else {
            return false;
        }
    }
    if (options.library.empty()) options.library = karvel::host::defaultLibraryPath(); // beside, else the system's
    return true;
}

std::string hostName(const KarvelSeat::WatchedSeat& seat) {
    return seat.HostName.empty() ? "the host" : seat.HostName + " (process " + std::to_string(seat.HostPid) + ")";
}

} // namespace

int main(int argc, char** argv) {
    ignoreStopRequests();
    Options options;
    if (!parse(argc, argv, options)) {
        std::fprintf(stderr, "usage: karvel-guard [--library PATH] [--state-dir DIR] [--port-wait SECONDS (0..3600)]\n");
        return 2;
    }
    // Loaded at once, so that a guard that could not park says so while its host runs.
    karvel::host::KarvelLibrary library(options.library);
    if (!library.bound()) {
        say("cannot use the library " + options.library + ": " + library.error());
        return 1;
    }
    library.SetLogCallback(&onLibraryLine);

    const StateFile file(options.stateDir);
    // A phase as the state file shows it: "parking (2024-05-01 12:00:00, guard 4243)".
    const auto stamped = [](const std::string& phase) {
        return phase + " (" + timeNow() + ", guard " + std::to_string(processId()) + ")";
    };
    const WatchOutcome watched = watchHost(file, stamped("watching"), say);
    KarvelSeat::WatchedSeat seat = watched.seat;
    const auto note = [&](const std::string& phase) {
        seat.Phase = stamped(phase);
        std::string error;
        if (!file.write(seat, error)) say(error);
    };
    if (!watched.refused.empty()) {
        say("cannot watch this host: " + watched.refused);
        return 3;
    }
    if (seat.bReleased || !seat.bSeatKnown) {
        note(seat.bReleased ? "released" : "nothing registered");
        return 0;
    }

    say(hostName(seat) + " ended without releasing the seat; parking it");
    ParkOptions park;
    park.portWait = std::chrono::milliseconds(static_cast<long long>(options.portWaitSeconds * 1000));
    park.say = say;
    park.phase = note;
    const ParkReport report = parkSeat(library, seat, park);
    char detail[96];
    std::snprintf(detail, sizeof(detail), "in %.2f s (%llu frames)", report.seconds,
                  static_cast<unsigned long long>(report.frames));
    switch (report.end) {
    case ParkReport::End::Parked:
        note(std::string("parked ") + detail + ", effects off, released");
        say(std::string("the seat is parked ") + detail + ", every effect off");
        return 0;
    case ParkReport::End::NotInTime:
        note("homed at once, effects off, released");
        say("the ramp did not bring the seat home in time: homed at once, every effect off");
        return 0;
    case ParkReport::End::AtOnce:
        note("homed at once, effects off, released");
        say("no posture known: the seat was homed at once, every effect off");
        return 0;
    case ParkReport::End::PortBusy:
        break;
    }
    note("gave up: UDP port 8410 stayed in use, nothing sent");
    say("UDP port 8410 stayed in use: another program drives the seat; nothing sent (karvel stop parks it from " +
        file.path() + " once the port is free)");
    return 3;
}
