// A loopback listener that never accepts, with its backlog filled by
// connections of its own: a further connect gets no answer at all, as with a
// device that is switched on but hangs, so the connect time-out is what ends it.
#pragma once

#include <vector>

#include "platform/SocketServices.h"

namespace karvel::test {

class FullBacklogListener {
public:
    FullBacklogListener();
    ~FullBacklogListener();
    FullBacklogListener(const FullBacklogListener&) = delete;
    FullBacklogListener& operator=(const FullBacklogListener&) = delete;

    int port() const { return port_; }
    // Whether the backlog could be filled (a probe connect timed out).
    bool full() const { return full_; }

private:
    net::SocketHandle listener_;
    std::vector<net::SocketHandle> fillers_;
    int port_ = 0;
    bool full_ = false;
};

} // namespace karvel::test
