// Closes the process-wide log sink when the process begins to exit, before
// the host's objects that its callback uses are destroyed.
//
// At the end of a POSIX process, exit handlers and static destructors run in
// the reverse order of their registration. The library's controller is made
// by the host's first call; a host logger that the callback makes on its first
// line, or that the host made before registering the callback, is registered
// after it and so destroyed before it, while the library's workers may still
// log. A handler registered once the callback was installed, and again once it
// first returned, runs before those destructors: it closes the sink, so that
// nothing enters the callback from then on.
//
// One handler for each, per distinct callback (the first kKnownCallbacks of
// them; one each time for any later one), and none once the sink is closed:
// a handler registered later could outlive the controller it closes.
#pragma once

#include <atomic>
#include <cstddef>
#include <mutex>

#include "Karvel.h"
#include "platform/SocketServices.h"

namespace karvel {

class ExitAnchors {
public:
    static constexpr std::size_t kKnownCallbacks = 16;

    using Registrar = void (*)(net::ExitHandler handler);

    // `closeAtExit` null: nothing is ever registered. `registrar` registers
    // it as an exit handler (net::callAtExit, or a test's own).
    explicit ExitAnchors(net::ExitHandler closeAtExit, Registrar registrar = &net::callAtExit)
        : closeAtExit_(closeAtExit), registrar_(registrar) {}

    // `target` was installed as the callback.
    void installed(LogCallback target);
    // A thread returned from `target`; cheap unless this is its first return.
    void returned(LogCallback target) {
        if (target == awaitingReturn_.load(std::memory_order_relaxed)) firstReturn(target);
    }
    // No more handlers from now on.
    void close();

private:
    struct Known {
        LogCallback callback = nullptr;
        bool returned = false;
    };

    void firstReturn(LogCallback target);
    // The entry for `target`, made if there is room; null when there is none.
    Known* find(LogCallback target, bool make);
    void anchor(); // mutex_ held

    const net::ExitHandler closeAtExit_;
    const Registrar registrar_;
    std::atomic<LogCallback> awaitingReturn_{nullptr};
    std::mutex mutex_;
    bool closed_ = false;
    Known known_[kKnownCallbacks];
};

} // namespace karvel
