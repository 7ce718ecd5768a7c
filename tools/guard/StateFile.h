// The guard's state file: the last known state of the seat it watches (the
// lines of WatchedSeat.h) and what it last did, for `karvel stop` to park the
// seat when neither the host nor its guard is there to. One file per user:
// one host can drive a seat at a time (UDP port 8410 is fixed).
#pragma once

#include <optional>
#include <string>

#include "SeatGuard/WatchedSeat.h"

namespace karvel::guard {

class StateFile {
public:
    // In `dir` (created when first written); empty for the default folder.
    explicit StateFile(const std::string& dir);

    const std::string& path() const { return path_; }
    // Replaces the file in one step; false (with `error`) when it could not.
    bool write(const KarvelSeat::WatchedSeat& state, std::string& error) const;
    // The state in the file; nothing when there is no file. A line that
    // cannot be read is skipped and named in `problems`.
    std::optional<KarvelSeat::WatchedSeat> read(std::string& problems) const;

private:
    std::string dir_;
    std::string path_;
};

// "2024-05-01 12:00:00", local time: when something happened, for people.
std::string timeNow();

} // namespace karvel::guard
