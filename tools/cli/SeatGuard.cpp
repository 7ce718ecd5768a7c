#include "SeatGuard.h"

#include <filesystem>

#include "Console.h"
#include "GuardSpawn.h"
#include "GuardSystem.h"
#include "Interrupt.h"
#include "LibraryLog.h"

namespace karvel::cli {

namespace {

std::string guardProgram() {
    const std::filesystem::path beside =
        std::filesystem::u8path(guard::ownExecutable()).parent_path() / guard::guardFileName();
    std::error_code missing;
    return std::filesystem::exists(beside, missing) ? beside.u8string() : std::string(KARVEL_GUARD_PATH);
}

} // namespace

std::unique_ptr<KarvelSeat::GuardLink> seatGuard(const std::string& libraryPath, const std::string& stateDir) {
    KarvelSeat::GuardLinkOptions options;
    options.Start = [command = guard::guardCommand(guardProgram(), libraryPath, stateDir)](std::string& error) {
        return guard::startGuard(command, error);
    };
    options.Log = [](bool error, const std::string& line) {
        if (error || shows(LogLevel::Info)) console::printLine("karvel: guard: " + line);
    };
    // Stop requests go to the main thread, whose blocking read they must end.
    options.OnThreadStart = &keepInterruptsOffThisThread;
    options.HostPid = guard::processId();
    options.HostName = "karvel";
    return std::make_unique<KarvelSeat::GuardLink>(std::move(options));
}

} // namespace karvel::cli
