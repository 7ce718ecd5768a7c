#include "StopSignal.h"

#include <windows.h>

namespace karvel::sim {

namespace {

HANDLE stopRequested = nullptr; // set by the console's handler thread
HANDLE finished = nullptr;      // set once the main thread is done after the stop

BOOL WINAPI onConsoleEvent(DWORD event) {
    ::SetEvent(stopRequested);
    // The system ends the process when this returns from a close or log-off
    // event: give the main thread its time to print what it received.
    if (event == CTRL_CLOSE_EVENT || event == CTRL_LOGOFF_EVENT || event == CTRL_SHUTDOWN_EVENT)
        ::WaitForSingleObject(finished, 3000);
    return TRUE;
}

} // namespace

StopSignal::StopSignal() {
    stopRequested = ::CreateEventW(nullptr, TRUE, FALSE, nullptr);
    finished = ::CreateEventW(nullptr, TRUE, FALSE, nullptr);
    // Ctrl-C may have been switched off for this program by whoever started
    // it (a new process group starts so); here it asks the program to stop.
    ::SetConsoleCtrlHandler(nullptr, FALSE);
    ::SetConsoleCtrlHandler(&onConsoleEvent, TRUE);
}

StopSignal::~StopSignal() {
    ::SetEvent(finished);
    ::SetConsoleCtrlHandler(&onConsoleEvent, FALSE);
}

void StopSignal::wait() { ::WaitForSingleObject(stopRequested, INFINITE); }

} // namespace karvel::sim
