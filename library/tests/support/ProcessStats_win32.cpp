#include <windows.h>
#include <psapi.h>
#include <tlhelp32.h>

#include "ProcessStats.h"

namespace karvel::test {

int threadCount() {
    const HANDLE snapshot = ::CreateToolhelp32Snapshot(TH32CS_SNAPTHREAD, 0);
    if (snapshot == INVALID_HANDLE_VALUE) return -1;
    THREADENTRY32 entry{};
    entry.dwSize = sizeof entry;
    int count = 0;
    const DWORD self = ::GetCurrentProcessId();
    for (BOOL more = ::Thread32First(snapshot, &entry); more; more = ::Thread32Next(snapshot, &entry))
        if (entry.th32OwnerProcessID == self) ++count;
    ::CloseHandle(snapshot);
    return count;
}

int openHandleCount() {
    DWORD count = 0;
    return ::GetProcessHandleCount(::GetCurrentProcess(), &count) ? static_cast<int>(count) : -1;
}

bool libraryLoaded(const std::string& path) {
    const std::string name = path.substr(path.find_last_of("/\\") + 1);
    return ::GetModuleHandleA(name.c_str()) != nullptr;
}

long residentBytes() {
    PROCESS_MEMORY_COUNTERS counters{};
    counters.cb = sizeof counters;
    if (!::K32GetProcessMemoryInfo(::GetCurrentProcess(), &counters, sizeof counters)) return -1;
    return static_cast<long>(counters.WorkingSetSize);
}

} // namespace karvel::test
