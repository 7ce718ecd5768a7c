// Stop requests on Windows, delivered by the console to a handler that runs
// on a thread of its own: Ctrl-C, Ctrl-Break, and the console window closed,
// the user logging off or the system shutting down. Each is counted as its
// POSIX counterpart is (Ctrl-C as SIGINT, Ctrl-Break as SIGQUIT, the window
// closed as SIGHUP, log-off and shutdown as SIGTERM), so the host's rules for
// the first and second request hold unchanged. A blocking read of standard
// input on the main thread is cancelled, as a signal interrupts it on POSIX.
#include "Interrupt.h"

#include <windows.h>

namespace karvel::cli {

namespace {

HANDLE mainThread = nullptr;

int exitStatusOf(DWORD event) {
    switch (event) {
    case CTRL_C_EVENT: return 130;
    case CTRL_BREAK_EVENT: return 131;
    case CTRL_CLOSE_EVENT: return 129;
    default: return 143; // log-off, shutdown
    }
}

BOOL WINAPI onConsoleEvent(DWORD event) {
    noteInterrupt(exitStatusOf(event));
    if (mainThread != nullptr) ::CancelSynchronousIo(mainThread);
    if (event == CTRL_C_EVENT || event == CTRL_BREAK_EVENT) return TRUE;
    // For the window closed, log-off and shutdown the system ends the process
    // as soon as this handler returns: hold it while the host ends safely
    // (main's return ends the process, and this thread with it). The system
    // allows a few seconds, enough for the park.
    for (;;) ::Sleep(1000);
}

} // namespace

void catchInterrupts() {
    // A real handle to the main thread (GetCurrentThread's is a pseudo-handle
    // that would name the handler's own thread there).
    ::DuplicateHandle(::GetCurrentProcess(), ::GetCurrentThread(), ::GetCurrentProcess(), &mainThread, 0, FALSE,
                      DUPLICATE_SAME_ACCESS);
    // A program started with Ctrl-C ignored (CREATE_NEW_PROCESS_GROUP) gets it back.
    ::SetConsoleCtrlHandler(nullptr, FALSE);
    ::SetConsoleCtrlHandler(&onConsoleEvent, TRUE);
}

// The console's handler thread is the only one that receives the requests.
void keepInterruptsOffThisThread() {}

} // namespace karvel::cli
