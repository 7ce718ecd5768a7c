// `karvel cue`: turns a vehicle's telemetry into seat postures with the
// motion cueing core and streams them like `replay`, at a chosen rate, the
// telemetry interpolated between rows. Whether it ends or is interrupted, the
// seat is then parked softly (a ramp home within the profile's limits).
#pragma once

#include <string>

#include "MotionCueing.h"
#include "SeatSession.h"
#include "TelemetryFile.h"

namespace karvel::cli {

struct NamedProfile {
    std::string name; // the preset's name or the file's path
    KarvelCueing::CueingProfile profile;
};

// A preset by name (road, race, flight, gentle) or a profile text file; throws
// UsageError with the reason for an unknown name or an unusable file.
NamedProfile loadCueProfile(const std::string& nameOrPath);

// Returns the exit status (0, or 130 when interrupted); prints a progress bar
// on a terminal and the summary on standard output.
int cue(SeatSession& seat, const TelemetryFile& file, const NamedProfile& profile, double rateHz);

} // namespace karvel::cli
