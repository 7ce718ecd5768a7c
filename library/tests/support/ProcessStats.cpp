#include "ProcessStats.h"

#include <thread>

namespace karvel::test {
namespace {

int countBackTo(int (*count)(), int expected, std::chrono::milliseconds deadline) {
    const auto end = std::chrono::steady_clock::now() + deadline;
    int seen = count();
    while (seen > expected && std::chrono::steady_clock::now() < end) {
        std::this_thread::sleep_for(std::chrono::milliseconds(5)); // polling a count, not waiting on a thread
        seen = count();
    }
    return seen;
}

} // namespace

int threadCountBackTo(int expected, std::chrono::milliseconds deadline) {
    return countBackTo(threadCount, expected, deadline);
}

int openHandleCountBackTo(int expected, std::chrono::milliseconds deadline) {
    return countBackTo(openHandleCount, expected, deadline);
}

} // namespace karvel::test
