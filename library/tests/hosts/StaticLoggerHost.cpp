// A C++ host whose log callback writes to a function-local static logger, as
// many hosts' loggers are: made on the first line, destroyed with the host's
// other statics when the process ends. The library must never enter the
// callback once that logger is gone, whether the host released it first or
// left the library's workers running:
//
//   karvel_static_logger_host release      configure, stream, release, return from main
//   karvel_static_logger_host no-release   configure, stream, return from main while the workers run
//
// Exits 0 when all went well. A callback entered after the logger's
// destructor aborts (and under AddressSanitizer it would also be a use after
// free of the logger's heap memory).
#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <optional>
#include <string>

#include "KarvelLibrary.h"
#include "support/ConfiguredSeat.h"
#include "support/LoadedKarvel.h"
#include "support/ModbusTestServer.h"
#include "support/UdpReceiver.h"

namespace {

// Constant-initialised and trivially destroyed: still readable after every static's destructor.
std::atomic<bool> loggerDestroyed{false};
std::atomic<int> linesLogged{0};

struct Logger {
    std::mutex mutex;
    std::string lines; // heap memory
    ~Logger() {
        std::lock_guard<std::mutex> lock(mutex);
        std::string().swap(lines);
        loggerDestroyed = true;
    }
};

void onLine(int, const char* message) {
    if (loggerDestroyed) {
        std::fputs("FAILED: the log callback was entered after the logger's destructor\n", stderr);
        std::abort();
    }
    static Logger logger; // made on the first line
    std::lock_guard<std::mutex> lock(logger.mutex);
    logger.lines += message;
    logger.lines += '\n';
    linesLogged.fetch_add(1);
}

int fail(const char* what) {
    std::fprintf(stderr, "FAILED: %s\n", what);
    return 2;
}

} // namespace

int main(int argc, char** argv) {
    const bool release = argc == 2 && std::strcmp(argv[1], "release") == 0;
    if (!release && !(argc == 2 && std::strcmp(argv[1], "no-release") == 0)) {
        std::fputs("usage: karvel_static_logger_host release|no-release\n", stderr);
        return 64;
    }
    // Loaded for the whole run, as in most hosts: it is unloaded only with the
    // host's statics, after the logger (which is made later) is destroyed.
    static karvel::host::KarvelLibrary library(karvel::test::libraryPath());
    if (!library.bound()) return fail(library.error().c_str());
    library.SetLogCallback(&onLine);

    karvel::test::UdpReceiver seat;
    std::optional<karvel::test::EffectsDevices> devices(std::in_place);
    if (!karvel::test::configureAndHome(library, seat, *devices)) return fail("the seat was not set up");
    for (int i = 0; i <= 60; ++i) library.SendSeatPosture(static_cast<float>(i) / 10.0f, 0.0f, 0.0f, 0.5f);
    if (seat.receiveMany(1).empty()) return fail("no posture frame");
    if (linesLogged.load() == 0) return fail("no line reached the callback");

    if (release) {
        library.Release();
        return 0;
    }
    // The devices go away and the seat gets more work: the library's workers
    // are still busy with it, and logging, while the process ends.
    devices.reset();
    library.SetWindSpeed(3);
    library.SetHeater(1);
    for (int i = 0; i < 100; ++i) library.SendSeatPosture(0.0f, static_cast<float>(i) / 10.0f, 0.0f, 0.5f);
    return 0;
}
