// The guard (karvel-guard) as a host started it: a process that reads the host's lines on its standard input. Each
// kind of host starts it its own way (the engine plugin with the engine's process functions, karvel with the tools'
// platform layer); the link to the guard (GuardLink.h) only writes to it.
#pragma once

#include <cstddef>

namespace KarvelSeat {

class GuardProcess {
public:
    // Closes the input if it is open, and lets go of the process without ending it (collecting it if it has ended).
    virtual ~GuardProcess() = default;

    // The guard's process id, for the host's log.
    virtual unsigned Id() const = 0;
    // Writes every byte, waiting while the pipe is full. False once the guard has gone (the pipe is broken).
    virtual bool Write(const char* Data, std::size_t Size) = 0;
    // End of file on the guard's input: after a release line a clean end, without one the host's end.
    virtual void CloseInput() = 0;
    // Waits until the guard has ended, and collects it (after its input broke: it is gone or going).
    virtual void WaitForExit() = 0;
    // Ends the guard at once. Called from another thread while Write or WaitForExit waits, which then return.
    virtual void Kill() = 0;
};

} // namespace KarvelSeat
