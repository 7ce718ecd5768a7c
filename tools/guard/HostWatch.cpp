#include "HostWatch.h"

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>
#include <vector>

#include "GuardSystem.h"

namespace karvel::guard {

namespace {

constexpr std::chrono::milliseconds kWriteEvery{250};

// What the reading thread shares with the one that writes the state file.
struct Shared {
    std::mutex mutex;
    std::condition_variable changed;
    KarvelSeat::WatchedSeat seat;
    bool dirty = true; // the phase is new
    bool ended = false;
    std::string refused;
    std::vector<std::string> unread; // lines that could not be used, to report
};

void readLines(Shared& shared) {
    std::string pending;
    char buffer[4096];
    bool first = true;
    while (const std::size_t got = readInput(buffer, sizeof(buffer))) {
        pending.append(buffer, got);
        std::size_t start = 0;
        std::lock_guard<std::mutex> lock(shared.mutex);
        for (std::size_t end; (end = pending.find('\n', start)) != std::string::npos; start = end + 1) {
            const std::string_view line(pending.data() + start, end - start);
            std::string error;
            const bool applied = KarvelSeat::ApplyGuardLine(shared.seat, line, error);
            // The first line names the format: a guard that does not read it cannot trust the rest.
            if (first && (!applied || line.rfind("karvel-guard ", 0) != 0)) {
                shared.refused = applied ? "the host did not say which format it writes" : error;
                shared.ended = true;
                shared.changed.notify_one();
                return;
            }
            first = false;
            if (!applied) shared.unread.push_back(error);
            shared.dirty = true;
        }
        pending.erase(0, start);
        shared.changed.notify_one();
    }
    std::lock_guard<std::mutex> lock(shared.mutex);
    shared.ended = true;
    shared.changed.notify_one();
}

} // namespace

WatchOutcome watchHost(const StateFile& file, const std::string& phase,
                       const std::function<void(const std::string&)>& say) {
    Shared shared;
    shared.seat.Phase = phase;
    std::thread reader(readLines, std::ref(shared));
    std::unique_lock<std::mutex> lock(shared.mutex);
    auto lastWrite = std::chrono::steady_clock::now() - kWriteEvery;
    while (true) {
        shared.changed.wait_for(lock, kWriteEvery, [&] { return shared.ended || !shared.unread.empty(); });
        for (const std::string& error : shared.unread) say("ignored a line of the host: " + error);
        shared.unread.clear();
        const auto now = std::chrono::steady_clock::now();
        if (shared.ended || (shared.dirty && now - lastWrite >= kWriteEvery)) {
            const KarvelSeat::WatchedSeat snapshot = shared.seat;
            shared.dirty = false;
            lastWrite = now;
            lock.unlock();
            std::string error;
            if (!file.write(snapshot, error)) say(error);
            lock.lock();
        }
        if (shared.ended) break;
    }
    WatchOutcome outcome{shared.seat, shared.refused};
    lock.unlock();
    // A refused format leaves the reader's input unread; nothing more is read from it.
    reader.join();
    return outcome;
}

} // namespace karvel::guard
