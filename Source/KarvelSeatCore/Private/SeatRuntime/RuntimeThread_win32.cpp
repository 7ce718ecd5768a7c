#if defined(_WIN32)

#include "RuntimeThread.h"

// Declared as the Windows SDK declares them, so that this engine-free source needs no Windows header.
extern "C" __declspec(dllimport) void* __stdcall GetCurrentThread();
extern "C" __declspec(dllimport) int __stdcall SetThreadPriority(void* Thread, int Priority);

namespace KarvelSeat {

void RaiseThisThreadsPriority() {
    constexpr int ThreadPriorityHighest = 2; // THREAD_PRIORITY_HIGHEST, allowed to any process
    SetThreadPriority(GetCurrentThread(), ThreadPriorityHighest);
}

} // namespace KarvelSeat

#endif
