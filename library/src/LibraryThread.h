// A thread of the library's own, holding the library loaded (net::LibraryHold)
// from its start until it has been joined, so that an unload never finds one
// of our threads still running.
#pragma once

#include <optional>
#include <thread>
#include <utility>

#include "platform/SocketServices.h"

namespace karvel {

class LibraryThread {
public:
    // Throws std::system_error, as std::thread does, when no thread can be started.
    template <typename Function>
    void start(Function&& function) {
        hold.emplace();
        try {
            thread = std::thread(std::forward<Function>(function));
        } catch (...) {
            hold.reset();
            throw;
        }
    }

    // Waits for the thread, if one runs, then lets the library go.
    void join() {
        if (thread.joinable()) thread.join();
        hold.reset();
    }

private:
    std::thread thread;
    std::optional<net::LibraryHold> hold;
};

} // namespace karvel
