#include "SeatRuntime/PendingResult.h"

namespace KarvelSeat {

bool PendingResult::IsDone() const {
    std::lock_guard<std::mutex> Lock(Mutex);
    return bDone;
}

bool PendingResult::Wait() const {
    std::unique_lock<std::mutex> Lock(Mutex);
    Finished.wait(Lock, [this] { return bDone; });
    return bResult;
}

bool PendingResult::Succeeded() const {
    std::lock_guard<std::mutex> Lock(Mutex);
    return bDone && bResult;
}

void PendingResult::Finish(bool bSucceeded) {
    {
        std::lock_guard<std::mutex> Lock(Mutex);
        bDone = true;
        bResult = bSucceeded;
    }
    Finished.notify_all();
}

} // namespace KarvelSeat
