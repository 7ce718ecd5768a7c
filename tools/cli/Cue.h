// `karvel cue`: turns a vehicle's telemetry into seat postures with the
// motion cueing core (the seat's motion envelope, set up with the chosen
// profile) and streams them like `replay`, at the motion's rate, the
// telemetry interpolated between rows.
#pragma once

#include <string>

#include "MotionCueing.h"
#include "SeatMotion.h"
#include "TelemetryFile.h"

namespace karvel::cli {

struct NamedProfile {
    std::string name; // the preset's name or the file's path
    KarvelCueing::CueingProfile profile;
};

// A preset by name (road, race, flight, gentle) or a profile text file; throws
// UsageError with the reason for an unknown name or an unusable file.
NamedProfile loadCueProfile(const std::string& nameOrPath);

// Returns the exit status (0: a stop request is the caller's to report);
// prints a progress bar on a terminal and the summary on standard output.
int cue(SeatMotion& motion, const TelemetryFile& file);

} // namespace karvel::cli
