#include "GuardSpawn.h"

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <ctime>
#include <mutex>

extern char** environ;

namespace karvel::guard {

namespace {

class SpawnedGuard final : public KarvelSeat::GuardProcess {
public:
    SpawnedGuard(pid_t pid, int input) : pid_(pid), input_(input) {}

    ~SpawnedGuard() override {
        CloseInput();
        std::lock_guard<std::mutex> lock(mutex_);
        // Collected if it has ended already; otherwise it goes on (watching, or parking) on its own.
        if (!reaped_ && ::waitpid(pid_, nullptr, WNOHANG) == pid_) reaped_ = true;
    }

    unsigned Id() const override { return static_cast<unsigned>(pid_); }

    bool Write(const char* data, std::size_t size) override {
        // A broken pipe must not end the host: SIGPIPE is held back on this
        // thread and taken away again if the write raised it.
        sigset_t pipe, old;
        sigemptyset(&pipe);
        sigaddset(&pipe, SIGPIPE);
        pthread_sigmask(SIG_BLOCK, &pipe, &old);
        bool written = true;
        while (size > 0) {
            const ssize_t done = ::write(input_, data, size);
            if (done < 0 && errno == EINTR) continue;
            if (done <= 0) {
                written = false;
                break;
            }
            data += done;
            size -= static_cast<std::size_t>(done);
        }
        if (!written && errno == EPIPE) {
            const timespec none{0, 0};
            while (sigtimedwait(&pipe, nullptr, &none) == SIGPIPE) {
            }
        }
        pthread_sigmask(SIG_SETMASK, &old, nullptr);
        return written;
    }

    void CloseInput() override {
        if (input_ >= 0) ::close(input_);
        input_ = -1;
    }

    void WaitForExit() override {
        // Waited for without collecting it, so that its process id stays its own until Kill can no longer use it.
        siginfo_t info{};
        while (::waitid(P_PID, static_cast<id_t>(pid_), &info, WEXITED | WNOWAIT) != 0 && errno == EINTR) {
        }
        std::lock_guard<std::mutex> lock(mutex_);
        if (!reaped_) ::waitpid(pid_, nullptr, 0);
        reaped_ = true;
    }

    void Kill() override {
        std::lock_guard<std::mutex> lock(mutex_);
        if (!reaped_) ::kill(pid_, SIGKILL);
    }

private:
    const pid_t pid_;
    int input_;
    std::mutex mutex_;
    bool reaped_ = false; // guarded by mutex_
};

// Resources of one spawn, freed on every path.
struct SpawnSetup {
    posix_spawn_file_actions_t actions;
    posix_spawnattr_t attributes;
    SpawnSetup() {
        posix_spawn_file_actions_init(&actions);
        posix_spawnattr_init(&attributes);
    }
    ~SpawnSetup() {
        posix_spawn_file_actions_destroy(&actions);
        posix_spawnattr_destroy(&attributes);
    }
    SpawnSetup(const SpawnSetup&) = delete;
    SpawnSetup& operator=(const SpawnSetup&) = delete;
};

} // namespace

std::unique_ptr<KarvelSeat::GuardProcess> startGuard(const GuardCommand& command, std::string& error) {
    int pipe[2];
    if (::pipe2(pipe, O_CLOEXEC) != 0) {
        error = std::string("cannot make a pipe: ") + std::strerror(errno);
        return nullptr;
    }
    SpawnSetup setup;
    // Standard input from the pipe, output and error as the host's, nothing else of the host's open files.
    posix_spawn_file_actions_adddup2(&setup.actions, pipe[0], STDIN_FILENO);
    posix_spawn_file_actions_addclosefrom_np(&setup.actions, STDERR_FILENO + 1);
    // A session of its own; no signal held back or ignored as the host's threads may have them.
    sigset_t none, defaults;
    sigemptyset(&none);
    sigfillset(&defaults);
    posix_spawnattr_setsigmask(&setup.attributes, &none);
    posix_spawnattr_setsigdefault(&setup.attributes, &defaults);
    posix_spawnattr_setflags(&setup.attributes, POSIX_SPAWN_SETSID | POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF);

    std::vector<char*> argv{const_cast<char*>(command.program.c_str())};
    for (const std::string& word : command.words) argv.push_back(const_cast<char*>(word.c_str()));
    argv.push_back(nullptr);
    pid_t pid = -1;
    // A bare name is looked for on the search path, as a shell would.
    const int failed =
        ::posix_spawnp(&pid, command.program.c_str(), &setup.actions, &setup.attributes, argv.data(), environ);
    ::close(pipe[0]);
    if (failed != 0) {
        ::close(pipe[1]);
        error = "cannot run " + command.program + ": " + std::strerror(failed);
        return nullptr;
    }
    return std::make_unique<SpawnedGuard>(pid, pipe[1]);
}

const char* guardFileName() { return "karvel-guard"; }

} // namespace karvel::guard
