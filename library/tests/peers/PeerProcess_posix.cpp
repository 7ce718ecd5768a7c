#include "PeerProcess_posix.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cerrno>
#include <cstring>
#include <stdexcept>

extern char** environ;

namespace karvel::test {
namespace {

int remainingMs(std::chrono::steady_clock::time_point end) {
    const auto left =
        std::chrono::duration_cast<std::chrono::milliseconds>(end - std::chrono::steady_clock::now()).count();
    return left > 0 ? static_cast<int>(left) : 0;
}

class SpawnActions {
public:
    SpawnActions() { posix_spawn_file_actions_init(&actions_); }
    ~SpawnActions() { posix_spawn_file_actions_destroy(&actions_); }
    SpawnActions(const SpawnActions&) = delete;
    SpawnActions& operator=(const SpawnActions&) = delete;
    posix_spawn_file_actions_t* get() { return &actions_; }

private:
    posix_spawn_file_actions_t actions_;
};

} // namespace

void PeerProcess::Descriptor::reset(int fd) {
    if (fd_ >= 0) ::close(fd_);
    fd_ = fd;
}

PeerProcess::PeerProcess(const std::vector<std::string>& argv) : name_(argv.at(0)) {
    // A peer that died must fail the test through its missing answers, not end it by SIGPIPE.
    ::signal(SIGPIPE, SIG_IGN);
    int input[2];
    int output[2];
    if (::pipe2(input, O_CLOEXEC) != 0) throw std::runtime_error("pipe: " + std::string(std::strerror(errno)));
    Descriptor inputRead(input[0]);
    toPeer_.reset(input[1]);
    if (::pipe2(output, O_CLOEXEC) != 0) throw std::runtime_error("pipe: " + std::string(std::strerror(errno)));
    fromPeer_.reset(output[0]);
    Descriptor outputWrite(output[1]);

    SpawnActions actions;
    posix_spawn_file_actions_adddup2(actions.get(), inputRead.get(), STDIN_FILENO);
    posix_spawn_file_actions_adddup2(actions.get(), outputWrite.get(), STDOUT_FILENO);
#if defined(__GLIBC__)
    // Sockets the library opened without close-on-exec must not live on in the peer
    // (an inherited UDP source port would stay bound after the library's release).
    posix_spawn_file_actions_addclosefrom_np(actions.get(), STDERR_FILENO + 1);
#endif
    std::vector<char*> args;
    for (const std::string& arg : argv) args.push_back(const_cast<char*>(arg.c_str()));
    args.push_back(nullptr);
    const int error = ::posix_spawn(&pid_, args[0], actions.get(), nullptr, args.data(), environ);
    if (error != 0) throw std::runtime_error("cannot start " + name_ + ": " + std::strerror(error));
}

PeerProcess::~PeerProcess() {
    toPeer_.reset();
    const bool stopped = outputClosedWithin(std::chrono::seconds(10));
    if (!stopped) ::kill(pid_, SIGKILL);
    int status = 0;
    while (::waitpid(pid_, &status, 0) < 0 && errno == EINTR) {
    }
    if (!stopped)
        ADD_FAILURE() << name_ << " did not stop when its input closed";
    else if (!WIFEXITED(status) || WEXITSTATUS(status) != 0)
        ADD_FAILURE() << name_ << " ended with status " << status;
}

bool PeerProcess::writeLine(const std::string& line) {
    const std::string text = line + "\n";
    std::size_t sent = 0;
    while (sent < text.size()) {
        const ssize_t written = ::write(toPeer_.get(), text.data() + sent, text.size() - sent);
        if (written < 0 && errno == EINTR) continue;
        if (written <= 0) return false;
        sent += static_cast<std::size_t>(written);
    }
    return true;
}

std::optional<std::string> PeerProcess::readLine(std::chrono::milliseconds deadline) {
    const Clock::time_point end = Clock::now() + deadline;
    for (;;) {
        const std::size_t newline = pending_.find('\n');
        if (newline != std::string::npos) {
            std::string line = pending_.substr(0, newline);
            pending_.erase(0, newline + 1);
            return line;
        }
        if (readMore(end) != Read::Data) return std::nullopt;
    }
}

bool PeerProcess::outputClosedWithin(std::chrono::milliseconds deadline) {
    const Clock::time_point end = Clock::now() + deadline;
    Read result;
    while ((result = readMore(end)) == Read::Data) pending_.clear();
    return result == Read::Closed;
}

PeerProcess::Read PeerProcess::readMore(Clock::time_point end) {
    for (;;) {
        pollfd ready{fromPeer_.get(), POLLIN, 0};
        const int polled = ::poll(&ready, 1, remainingMs(end));
        if (polled < 0 && errno == EINTR) continue;
        if (polled < 0) return Read::Closed;
        if (polled == 0) return Read::TimedOut;
        char buffer[4096];
        const ssize_t got = ::read(fromPeer_.get(), buffer, sizeof buffer);
        if (got < 0 && errno == EINTR) continue;
        if (got <= 0) return Read::Closed;
        pending_.append(buffer, static_cast<std::size_t>(got));
        return Read::Data;
    }
}

} // namespace karvel::test
