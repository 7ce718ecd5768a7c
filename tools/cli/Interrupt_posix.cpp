// Stop signals on POSIX. SIGINT (Ctrl-C), SIGTERM, SIGHUP (the terminal or
// the SSH session went) and SIGQUIT (Ctrl-\) are counted, never fatal. They
// are caught without SA_RESTART, so a blocking read of standard input returns
// with EINTR. SIGPIPE is ignored: a write to a closed pipe fails with EPIPE
// and the host goes on ending safely.
#include "Interrupt.h"

#include <fcntl.h>
#include <pthread.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>

namespace karvel::cli {

namespace {

constexpr int kStopSignals[] = {SIGINT, SIGTERM, SIGHUP, SIGQUIT};

void onStopSignal(int number) { noteInterrupt(128 + number); }

// A standard descriptor that is closed at start would be the next one the
// library opens: its socket would then receive the host's printed lines.
void keepStandardDescriptorsTaken() {
    for (int fd = STDIN_FILENO; fd <= STDERR_FILENO; ++fd) {
        if (fcntl(fd, F_GETFD) != -1 || errno != EBADF) continue;
        // open() takes the lowest free descriptor: this one.
        static_cast<void>(open("/dev/null", fd == STDIN_FILENO ? O_RDONLY : O_WRONLY));
    }
}

} // namespace

void catchInterrupts() {
    keepStandardDescriptorsTaken();
    struct sigaction stop {};
    stop.sa_handler = &onStopSignal;
    sigemptyset(&stop.sa_mask);
    stop.sa_flags = 0; // no SA_RESTART, no SA_RESETHAND: a second request is counted too
    for (const int number : kStopSignals) sigaction(number, &stop, nullptr);
    struct sigaction ignore {};
    ignore.sa_handler = SIG_IGN;
    sigemptyset(&ignore.sa_mask);
    sigaction(SIGPIPE, &ignore, nullptr);
}

void keepInterruptsOffThisThread() {
    sigset_t stops;
    sigemptyset(&stops);
    for (const int number : kStopSignals) sigaddset(&stops, number);
    pthread_sigmask(SIG_BLOCK, &stops, nullptr);
}

} // namespace karvel::cli
