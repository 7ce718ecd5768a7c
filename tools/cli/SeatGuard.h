// The guard of karvel's seat (karvel-guard): it parks the seat and turns the
// effects off should karvel end without releasing it (kill -9, a crash, the
// machine's task manager). Found beside karvel, else on the system's search
// path.
#pragma once

#include <memory>
#include <string>

#include "SeatGuard/GuardLink.h"

namespace karvel::cli {

// A link that starts the guard at the registration, for the library at
// `libraryPath`; the guard keeps its state file in `stateDir` (empty: its
// default). Its errors go to standard error, its other lines where the
// library's INFO lines go.
std::unique_ptr<KarvelSeat::GuardLink> seatGuard(const std::string& libraryPath, const std::string& stateDir);

} // namespace karvel::cli
