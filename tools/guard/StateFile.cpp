#include "StateFile.h"

#include <ctime>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <system_error>

#include "GuardSystem.h"

namespace karvel::guard {

namespace fs = std::filesystem;

StateFile::StateFile(const std::string& dir)
    : dir_(dir.empty() ? defaultStateDir() : dir), path_((fs::u8path(dir_) / "seat-state.txt").u8string()) {}

bool StateFile::write(const KarvelSeat::WatchedSeat& state, std::string& error) const {
    std::error_code failure;
    fs::create_directories(fs::u8path(dir_), failure);
    const std::string staged = path_ + "." + std::to_string(processId()) + ".tmp";
    {
        std::ofstream out(fs::u8path(staged), std::ios::binary | std::ios::trunc);
        out << "# The seat as its guard last knew it; `karvel stop` parks it from here.\n"
            << KarvelSeat::FormatWatchedSeat(state);
        if (!out.flush()) {
            error = "cannot write " + staged;
            return false;
        }
    }
    if (replaceFile(staged, path_)) return true;
    fs::remove(fs::u8path(staged), failure);
    error = "cannot replace " + path_;
    return false;
}

std::optional<KarvelSeat::WatchedSeat> StateFile::read(std::string& problems) const {
    std::ifstream in(fs::u8path(path_), std::ios::binary);
    if (!in) return std::nullopt;
    KarvelSeat::WatchedSeat state;
    std::string line;
    while (std::getline(in, line)) {
        if (!line.empty() && line[0] == '#') continue;
        std::string error;
        if (!KarvelSeat::ApplyGuardLine(state, line, error)) problems += (problems.empty() ? "" : "; ") + error;
    }
    return state;
}

std::string timeNow() {
    const std::time_t now = std::time(nullptr);
    char text[32] = "";
    if (const std::tm* local = std::localtime(&now)) std::strftime(text, sizeof(text), "%Y-%m-%d %H:%M:%S", local);
    return text;
}

} // namespace karvel::guard
