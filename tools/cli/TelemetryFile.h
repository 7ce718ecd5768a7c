// A vehicle's telemetry for `karvel cue`: CSV (as CsvReader reads it) with a
// header naming the columns
//   time,ax,ay,az,roll_rate,pitch_rate,yaw_rate
// in any order (other columns are skipped): seconds; the vehicle's linear
// acceleration without gravity in m/s^2, x forward, y right, z up (the
// engine's axes); its angular rates in deg/s. Rows may come at any spacing,
// steady or not; time never decreases. Lines starting with # and blank lines
// are skipped.
#pragma once

#include <array>
#include <string>
#include <vector>

#include "CsvReader.h"

namespace karvel::cli {

struct TelemetrySample {
    double time = 0;
    // ax, ay, az, roll_rate, pitch_rate, yaw_rate, as the columns are named.
    std::array<double, 6> motion{};
};

struct TelemetryFile {
    std::vector<TelemetrySample> samples; // at least one
    double duration() const { return samples.back().time - samples.front().time; }
};

// Throws UsageError naming the file and the line for anything it cannot use;
// tells `progress` how far it has read.
TelemetryFile loadTelemetryFile(const std::string& path, const CsvReader::ReadProgress& progress = {});

// The motion at `time`, linearly between the rows around it (held before the
// first row and after the last).
TelemetrySample telemetryAt(const TelemetryFile& file, double time);

} // namespace karvel::cli
