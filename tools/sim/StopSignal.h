// Ctrl-C and the system's requests to end the program (SIGTERM; a closed
// console window on Windows), taken by the main thread: created before any
// other thread starts, it lets the main thread wait for them while the other
// threads run on undisturbed.
#pragma once

namespace karvel::sim {

class StopSignal {
public:
    StopSignal();
    ~StopSignal();
    StopSignal(const StopSignal&) = delete;
    StopSignal& operator=(const StopSignal&) = delete;

    // Returns once a stop was asked for.
    void wait();
};

} // namespace karvel::sim
