// The library's entry point on Windows: starts Windows Sockets when the
// library is attached to the process, releases the seat controller and cleans
// Windows Sockets up when it is detached.
//
// The loader runs this under its lock, and a thread cannot end without that
// lock, so nothing here may wait for a thread:
// - Unloaded by FreeLibrary (reserved is null): no library thread runs, because
//   each one holds the library loaded (net::LibraryHold) until it is joined.
//   The log is closed first, without waiting, so the release only finds
//   closed transports and logs its line to the debugger output, never
//   through the host's callback.
// - Process ending (reserved is not null): the system has already stopped
//   every other thread wherever it was. The controller is abandoned (no lock,
//   no log line, no join) and Windows Sockets is left to the system.
// The controller's static destructor runs after this, from the C runtime's
// own detach step; it finds nothing left to release, or does nothing once
// abandoned.
#include <windows.h>

#include "Karvel.h"
#include "SeatController.h"
#include "platform/SocketServices.h"

extern "C" BOOL WINAPI DllMain(HINSTANCE, DWORD reason, LPVOID reserved) {
    if (reason == DLL_PROCESS_ATTACH) {
        karvel::net::startSocketLibrary();
    } else if (reason == DLL_PROCESS_DETACH && reserved != nullptr) {
        karvel::SeatController::instance().abandon();
    } else if (reason == DLL_PROCESS_DETACH) {
        // The release's lines go to the debugger output: a host callback
        // entered under the loader's lock could wait for a lock that waits
        // for the loader.
        karvel::SeatController::instance().closeLog();
        Ridova_Release(); // the export catches what the release could throw
        karvel::net::stopSocketLibrary();
    }
    return TRUE;
}
