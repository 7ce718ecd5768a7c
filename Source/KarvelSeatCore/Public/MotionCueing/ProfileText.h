// Profiles as text, for files next to a game or a recording:
//
//   # a softer road profile
//   preset = road          # optional, the starting point (road when absent)
//   TiltGain = 0.6
//   YawRateGain = 0
//
// One `key = value` per line; keys are the profile's field names (any case);
// `#` starts a comment; blank lines are ignored. Each key may appear once.
#pragma once

#include "SeatCoreApi.h"

#include <string>
#include <string_view>

#include "CueingProfile.h"

namespace KarvelCueing {

// Returns false and leaves Out untouched when a line cannot be read or the
// result is not a valid profile; Error then names the line ("line 3: ...").
KARVELSEATCORE_API bool ParseProfileText(std::string_view Text, CueingProfile& Out, std::string& Error);

// The whole profile as text that ParseProfileText reads back to the same values.
KARVELSEATCORE_API std::string FormatProfileText(const CueingProfile& Profile);

} // namespace KarvelCueing
