#include "TerminalRun.h"

#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <stdexcept>

extern char** environ;

namespace karvel::tools::test {

TerminalResult runInTerminal(const std::vector<std::string>& arguments, int columns,
                             std::chrono::milliseconds timeout, const std::string& typed,
                             const std::string& typeAfter) {
    winsize size{};
    size.ws_row = 40;
    size.ws_col = static_cast<unsigned short>(columns);
    int master = -1, slave = -1;
    if (openpty(&master, &slave, nullptr, nullptr, &size) != 0) throw std::runtime_error("cannot open a terminal");
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    for (int fd = 0; fd < 3; ++fd) posix_spawn_file_actions_adddup2(&actions, slave, fd);
    posix_spawn_file_actions_addclose(&actions, master);
    std::vector<char*> argv;
    for (const std::string& argument : arguments) argv.push_back(const_cast<char*>(argument.c_str()));
    argv.push_back(nullptr);
    pid_t pid = -1;
    const int spawned = posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    ::close(slave);
    if (spawned != 0) {
        ::close(master);
        throw std::runtime_error("cannot start " + arguments[0]);
    }

    // Read until the program's side closes (EIO on Linux) or the time is up.
    TerminalResult result;
    bool typing = !typed.empty();
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    for (;;) {
        if (typing && result.raw.find(typeAfter) != std::string::npos) {
            typing = false;
            if (::write(master, typed.data(), typed.size()) != static_cast<ssize_t>(typed.size()))
                throw std::runtime_error("cannot type into the terminal");
        }
        const auto left =
            std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0) {
            ::kill(pid, SIGKILL);
            break;
        }
        pollfd ready{master, POLLIN, 0};
        if (::poll(&ready, 1, static_cast<int>(left.count())) <= 0) continue;
        char buffer[4096];
        const ssize_t got = ::read(master, buffer, sizeof buffer);
        if (got <= 0) break;
        result.raw.append(buffer, static_cast<std::size_t>(got));
    }
    ::close(master);
    int raw = 0;
    ::waitpid(pid, &raw, 0);
    if (std::chrono::steady_clock::now() < deadline) result.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : 128 + WTERMSIG(raw);
    return result;
}

std::vector<std::string> terminalRows(const std::string& raw, int columns) {
    std::vector<std::string> rows(1);
    std::size_t column = 0;
    for (std::size_t i = 0; i < raw.size(); ++i) {
        const char c = raw[i];
        std::string& row = rows.back();
        if (c == '\r') {
            column = 0;
        } else if (c == '\n') {
            rows.emplace_back();
            column = 0;
        } else if (c == '\033' && i + 1 < raw.size() && raw[i + 1] == '[') {
            std::size_t end = i + 2;
            while (end < raw.size() && !(raw[end] >= '@' && raw[end] <= '~')) ++end;
            if (end < raw.size() && raw[end] == 'K') row.erase(std::min(column, row.size()));
            i = end;
        } else {
            if (column == static_cast<std::size_t>(columns)) { // wraps onto a new row
                rows.emplace_back();
                column = 0;
            }
            std::string& current = rows.back();
            if (current.size() <= column) current.resize(column + 1, ' ');
            current[column++] = c;
        }
    }
    return rows;
}

} // namespace karvel::tools::test
