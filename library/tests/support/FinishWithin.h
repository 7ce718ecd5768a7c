// For tests whose failure is a hang: the threads of a deadlock are stuck for
// good and no test can clean them up, so the process ends with a message
// rather than leaving the test run waiting.
#pragma once

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <future>
#include <thread>
#include <utility>

namespace karvel::test {

// Runs `body` on a thread of its own and returns once it has returned; ends
// the process when it has not returned within `deadline`.
template <typename Body>
void finishWithin(std::chrono::seconds deadline, const char* what, Body&& body) {
    std::packaged_task<void()> task(std::forward<Body>(body));
    std::future<void> done = task.get_future();
    std::thread runner(std::move(task));
    if (done.wait_for(deadline) != std::future_status::ready) {
        std::fprintf(stderr, "FAILED: %s did not finish within %lld s (deadlocked); ending the process\n", what,
                     static_cast<long long>(deadline.count()));
        std::fflush(stderr);
        std::_Exit(3);
    }
    runner.join();
    done.get(); // passes on an exception of the body
}

} // namespace karvel::test
