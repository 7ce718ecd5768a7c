#include <sys/ioctl.h>
#include <unistd.h>

#include "Terminal.h"

namespace karvel::cli::terminal {

namespace {

int descriptorOf(Stream stream) {
    switch (stream) {
    case Stream::Input: return STDIN_FILENO;
    case Stream::Output: return STDOUT_FILENO;
    case Stream::Error: return STDERR_FILENO;
    }
    return STDERR_FILENO;
}

} // namespace

void prepare() {}

std::vector<std::string> commandLine(int argc, char** argv) { return {argv, argv + argc}; }

bool isTerminal(Stream stream) { return isatty(descriptorOf(stream)) != 0; }

int columns() {
    winsize size{};
    if (ioctl(STDERR_FILENO, TIOCGWINSZ, &size) == 0 && size.ws_col > 0) return size.ws_col;
    return 80;
}

} // namespace karvel::cli::terminal
