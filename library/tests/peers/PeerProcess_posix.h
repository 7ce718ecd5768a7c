// A test peer in a child process, spoken to by lines: its stdin and stdout are
// pipes to the test, its stderr is the test's own. Closing its stdin asks it
// to stop; the destructor then reaps it, killing it when it does not stop.
#pragma once

#include <sys/types.h>

#include <chrono>
#include <optional>
#include <string>
#include <vector>

namespace karvel::test {

class PeerProcess {
public:
    // Starts the program at argv[0]; throws std::runtime_error when it cannot.
    explicit PeerProcess(const std::vector<std::string>& argv);
    ~PeerProcess();
    PeerProcess(const PeerProcess&) = delete;
    PeerProcess& operator=(const PeerProcess&) = delete;

    bool writeLine(const std::string& line);
    // The next line without its end; none when the peer closed its output or
    // sent no whole line within the deadline.
    std::optional<std::string> readLine(std::chrono::milliseconds deadline = std::chrono::seconds(10));

    const std::string& name() const { return name_; }

private:
    class Descriptor {
    public:
        explicit Descriptor(int fd = -1) : fd_(fd) {}
        ~Descriptor() { reset(); }
        Descriptor(const Descriptor&) = delete;
        Descriptor& operator=(const Descriptor&) = delete;
        int get() const { return fd_; }
        void reset(int fd = -1);

    private:
        int fd_;
    };

    using Clock = std::chrono::steady_clock;
    enum class Read { Data, Closed, TimedOut };

    // Waits for the peer to close its output, at most until the deadline.
    bool outputClosedWithin(std::chrono::milliseconds deadline);
    // Appends what the peer wrote to pending_, waiting at most until `end`.
    Read readMore(Clock::time_point end);

    std::string name_;
    pid_t pid_ = -1;
    Descriptor toPeer_;
    Descriptor fromPeer_;
    std::string pending_;
};

} // namespace karvel::test
