// `karvel tune`: cues a vehicle's telemetry (or a recording of the motion
// component) offline with a profile, as fast as it computes, and judges the
// result on what a rider perceives (cueing/evaluation): a summary on standard
// output and an HTML report to open in a browser. No seat, no library.
#pragma once

#include <string>

#include "Cue.h"
#include "TelemetryFile.h"

namespace karvel::cli {

struct TuneSetup {
    std::string telemetryPath;
    std::string outDir = ".";
    double rateHz = 100;
    std::string model = "orvida"; // the seat whose stroke and home the cues are judged on
};

// Returns the exit status: 0, or 130 when interrupted. Throws UsageError when
// the report cannot be written.
int tune(const TelemetryFile& telemetry, const NamedProfile& profile, const TuneSetup& setup);

} // namespace karvel::cli
