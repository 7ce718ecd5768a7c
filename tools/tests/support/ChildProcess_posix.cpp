#include "ChildProcess.h"

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <cstdio>
#include <stdexcept>
#include <thread>

extern char** environ;

namespace karvel::tools::test {

namespace {

void redirect(posix_spawn_file_actions_t& actions, const Redirect& where, int outputFile, int stream) {
    switch (where.to) {
    case Redirect::To::OutputFile: posix_spawn_file_actions_adddup2(&actions, outputFile, stream); break;
    case Redirect::To::Closed: posix_spawn_file_actions_addclose(&actions, stream); break;
    case Redirect::To::Descriptor: posix_spawn_file_actions_adddup2(&actions, where.fd, stream); break;
    }
}

} // namespace

ChildProcess::ChildProcess(const std::vector<std::string>& arguments, const std::string& input, Redirect out,
                           Redirect err) {
    char pattern[] = "/tmp/karvel-child-XXXXXX";
    const int fd = mkstemp(pattern);
    if (fd < 0) throw std::runtime_error("cannot create the output file");
    outputPath_ = pattern;
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 0, input.c_str(), O_RDONLY, 0);
    redirect(actions, out, fd, 1);
    redirect(actions, err, fd, 2);
    std::vector<char*> argv;
    for (const std::string& argument : arguments) argv.push_back(const_cast<char*>(argument.c_str()));
    argv.push_back(nullptr);
    pid_t pid = -1;
    const int result = posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    ::close(fd);
    if (result != 0) throw std::runtime_error("cannot start " + arguments[0]);
    id_ = pid;
}

ChildProcess::~ChildProcess() {
    signal(SIGTERM); // lets a driver close its browser
    if (!wait(std::chrono::milliseconds(3000))) {
        ::kill(static_cast<pid_t>(id_), SIGKILL);
        ::waitpid(static_cast<pid_t>(id_), nullptr, 0);
    }
    std::remove(outputPath_.c_str());
}

void ChildProcess::signal(int number) const {
    if (!status_) ::kill(static_cast<pid_t>(id_), number);
}

std::optional<int> ChildProcess::wait(std::chrono::milliseconds timeout) {
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    while (!status_) {
        int raw = 0;
        const pid_t done = ::waitpid(static_cast<pid_t>(id_), &raw, WNOHANG);
        if (done == static_cast<pid_t>(id_)) {
            status_ = WIFEXITED(raw) ? WEXITSTATUS(raw) : 128 + WTERMSIG(raw);
            break;
        }
        if (std::chrono::steady_clock::now() >= deadline) break;
        std::this_thread::sleep_for(std::chrono::milliseconds(10)); // no wait-with-timeout for a child
    }
    return status_;
}

} // namespace karvel::tools::test
