#include "Console.h"

#include <sys/ioctl.h>
#include <unistd.h>

#include <cstdio>
#include <mutex>

namespace karvel::cli::console {

namespace {

std::mutex consoleMutex;
std::string bar;       // guarded by consoleMutex
bool barShown = false; // guarded by consoleMutex

// Return to the row's start and erase it.
constexpr const char* kClearRow = "\r\033[K";

void write(const std::string& text) {
    std::fwrite(text.data(), 1, text.size(), stderr);
    std::fflush(stderr);
}

} // namespace

int terminalColumns() {
    winsize size{};
    if (ioctl(STDERR_FILENO, TIOCGWINSZ, &size) == 0 && size.ws_col > 0) return size.ws_col;
    return 80;
}

void printLine(const std::string& line) {
    std::lock_guard<std::mutex> lock(consoleMutex);
    write(barShown ? kClearRow + line + "\n" + bar : line + "\n");
}

void showBar(const std::string& text) {
    // The last column stays free: a terminal that wraps on it would break the row.
    const auto width = static_cast<std::size_t>(terminalColumns() - 1);
    std::lock_guard<std::mutex> lock(consoleMutex);
    bar = text.substr(0, width);
    barShown = true;
    write(kClearRow + bar);
}

void endBar() {
    std::lock_guard<std::mutex> lock(consoleMutex);
    if (!barShown) return;
    barShown = false;
    write("\n");
}

} // namespace karvel::cli::console
