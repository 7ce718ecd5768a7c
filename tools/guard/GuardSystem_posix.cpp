#include "GuardSystem.h"

#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>

namespace karvel::guard {

void ignoreStopRequests() {
    struct sigaction ignore {};
    ignore.sa_handler = SIG_IGN;
    sigemptyset(&ignore.sa_mask);
    for (const int number : {SIGINT, SIGHUP, SIGQUIT, SIGPIPE}) sigaction(number, &ignore, nullptr);
}

std::size_t readInput(char* buffer, std::size_t size) {
    while (true) {
        const ssize_t got = ::read(STDIN_FILENO, buffer, size);
        if (got >= 0) return static_cast<std::size_t>(got);
        if (errno != EINTR) return 0;
    }
}

std::string defaultStateDir() {
    const char* state = std::getenv("XDG_STATE_HOME");
    if (state != nullptr && state[0] == '/') return std::string(state) + "/karvel";
    const char* home = std::getenv("HOME");
    if (home != nullptr && home[0] == '/') return std::string(home) + "/.local/state/karvel";
    return "/tmp/karvel-" + std::to_string(::getuid());
}

bool replaceFile(const std::string& from, const std::string& to) { return std::rename(from.c_str(), to.c_str()) == 0; }

int processId() { return static_cast<int>(::getpid()); }

} // namespace karvel::guard
