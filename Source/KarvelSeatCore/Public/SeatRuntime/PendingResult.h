// The answer of a command that runs later on the seat's runtime thread: a game polls it without waiting (an async
// node completing on the game thread), a blocking call waits for it.
#pragma once

#include "SeatCoreApi.h"

#include <condition_variable>
#include <mutex>

namespace KarvelSeat {

class KARVELSEATCORE_API PendingResult {
public:
    bool IsDone() const;
    // Waits until the command ran; its answer.
    bool Wait() const;
    // The answer once done; false before.
    bool Succeeded() const;

    // The runtime's thread, once.
    void Finish(bool bSucceeded);

private:
    mutable std::mutex Mutex;
    mutable std::condition_variable Finished;
    bool bDone = false;
    bool bResult = false;
};

} // namespace KarvelSeat
