#include "SeatGuard.h"

#include <filesystem>

#include "Console.h"
#include "GuardSpawn.h"
#include "GuardSystem.h"
#include "Interrupt.h"
#include "KarvelLibrary.h"
#include "LibraryLog.h"

namespace karvel::cli {

namespace {

// Beside karvel (where the tools zip and the build put it), else on the system's search path.
std::string guardProgram() {
    const std::string folder = host::executableDirectory();
    if (!folder.empty()) {
        const std::filesystem::path beside = std::filesystem::u8path(folder) / guard::guardFileName();
        std::error_code missing;
        if (std::filesystem::is_regular_file(beside, missing)) return beside.u8string();
    }
    return guard::guardFileName();
}

} // namespace

std::unique_ptr<KarvelSeat::GuardLink> seatGuard(const std::string& libraryPath, const std::string& stateDir) {
    KarvelSeat::GuardLinkOptions options;
    options.Start = [command = guard::guardCommand(guardProgram(), libraryPath, stateDir)](std::string& error) {
        return guard::startGuard(command, error);
    };
    options.Log = [](bool error, const std::string& line) {
        // Its errors whatever the level (it is not the library's), its other lines as the library's INFO lines.
        if (error) console::printLine("karvel: guard: " + line);
        else printAtLevel(LogLevel::Info, "karvel: guard: " + line);
    };
    // Stop requests go to the main thread, whose blocking read they must end.
    options.OnThreadStart = &keepInterruptsOffThisThread;
    options.HostPid = guard::processId();
    options.HostName = "karvel";
    return std::make_unique<KarvelSeat::GuardLink>(std::move(options));
}

} // namespace karvel::cli
