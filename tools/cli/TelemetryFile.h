// A vehicle's telemetry for `karvel cue` and `karvel tune`: CSV (as CsvReader
// reads it) with a header naming the columns, in any order (other columns are
// skipped):
//   time                          seconds; rows at any spacing, steady or not,
//                                 time never decreasing;
//   fx,fy,fz                      the vehicle's specific force in m/s^2 (its
//                                 acceleration less gravity: 0, 0, +9.81 at
//                                 rest and level), x forward, y right, z up;
//   or ax,ay,az                   its acceleration without gravity, m/s^2,
//     with roll,pitch (optional)  its attitude in degrees (roll + right side
//                                 down, pitch + nose up), from which gravity is
//                                 added; without them the vehicle is taken as
//                                 level;
//   roll_rate,pitch_rate,yaw_rate its angular rates, deg/s.
// When both fx,fy,fz and ax,ay,az are there, the specific force is used. In a
// cueing recording (one with a `height` column too) `roll` and `pitch` are
// the seat's posture, never the vehicle's attitude. Rows whose motion cells
// are all empty (postures a game sent itself, in a recording) are skipped.
// Lines starting with # and blank lines are skipped.
#pragma once

#include <array>
#include <string>
#include <vector>

#include "CsvReader.h"
#include "CueEvaluation.h"

namespace karvel::cli {

struct TelemetrySample {
    double time = 0;
    std::array<double, 3> force{};        // specific force, m/s^2
    std::array<double, 3> rates{};        // roll, pitch, yaw rate, deg/s
    std::array<double, 3> acceleration{}; // without gravity, m/s^2, when the file gives it
};

struct TelemetryFile {
    std::vector<TelemetrySample> samples; // at least one
    bool hasAcceleration = false;         // the file had ax,ay,az
    double duration() const { return samples.back().time - samples.front().time; }
};

// Throws UsageError naming the file and the line for anything it cannot use;
// tells `progress` how far it has read.
TelemetryFile loadTelemetryFile(const std::string& path, const CsvReader::ReadProgress& progress = {});

// The motion at `time`, linearly between the rows around it (held before the
// first row and after the last).
TelemetrySample telemetryAt(const TelemetryFile& file, double time);

// The telemetry at `rateHz` from its first row to its last, as the cueing
// runs it: for judging cues offline (`karvel tune`, the benchmark).
KarvelCueEvaluation::Ride rideOf(const TelemetryFile& file, double rateHz, const std::string& name);

} // namespace karvel::cli
