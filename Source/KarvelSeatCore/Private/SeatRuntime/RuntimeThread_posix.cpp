#if !defined(_WIN32)

#include "RuntimeThread.h"

namespace KarvelSeat {

// An unprivileged process cannot raise a thread above its others here; the thread keeps the normal priority.
void RaiseThisThreadsPriority() {}

} // namespace KarvelSeat

#endif
