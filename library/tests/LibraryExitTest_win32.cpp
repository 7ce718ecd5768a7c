// The end of a process that never released the library. Windows stops every
// other thread wherever it is before it detaches the library, so a lock such a
// thread held stays taken for good: the detach must wait for nothing.
#include <gtest/gtest.h>

#include <windows.h>

#include <condition_variable>
#include <cstdio>
#include <mutex>
#include <thread>

#include "KarvelLibrary.h"
#include "support/ConfiguredSeat.h"
#include "support/LoadedKarvel.h"

namespace {

// The host's log lock, as an engine's logger has one.
std::mutex hostLogMutex;

void lockingLog(int, const char*) { std::lock_guard<std::mutex> lock(hostLogMutex); }

// In the child process: a configured seat with both workers running (motion and effects), a host
// thread that holds the log lock when the process ends, then ExitProcess.
[[noreturn]] void exitWhileAHostThreadHoldsTheLogLock() {
    karvel::host::KarvelLibrary library(karvel::test::libraryPath()); // never freed
    karvel::test::UdpReceiver receiver;
    karvel::test::EffectsDevices devices;
    if (!library.bound()) ::ExitProcess(2);
    library.SetLogCallback(&lockingLog);
    if (const ::testing::AssertionResult ready = karvel::test::configureAndHome(library, receiver, devices); !ready) {
        std::fprintf(stderr, "%s\n", ready.message());
        ::ExitProcess(3);
    }

    std::mutex stateMutex;
    std::condition_variable changed;
    bool holding = false;
    std::thread holder([&] {
        std::lock_guard<std::mutex> logLock(hostLogMutex);
        std::unique_lock<std::mutex> lock(stateMutex);
        holding = true;
        changed.notify_all();
        changed.wait(lock, [] { return false; }); // until the process ends
    });
    {
        std::unique_lock<std::mutex> lock(stateMutex);
        if (!changed.wait_for(lock, std::chrono::seconds(30), [&] { return holding; })) ::ExitProcess(5);
    }
    ::ExitProcess(7); // the holder thread is never joined: the process ends under it
}

} // namespace

TEST(LibraryExit, ProcessEndWithAnOpenTransportAndATakenLogLockCompletes) {
    EXPECT_EXIT(exitWhileAHostThreadHoldsTheLogLock(), ::testing::ExitedWithCode(7), "");
}
