// A recorded motion file: CSV (as CsvReader reads it) with a header naming
// the columns time, pitch, roll, yaw and height (seconds, degrees, degrees,
// degrees, 0..1) in any order, and optionally wind, mist, scent and heater (effect levels that hold
// from their row on). Lines starting with # and blank lines are skipped. A
// cueing recording (time, the vehicle's motion fx..yaw_rate, then the posture
// pitch, roll, yaw, height) is a motion file too: its input columns are skipped.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "CsvReader.h"

namespace karvel::cli {

struct MotionSample {
    double time = 0;
    float pitch = 0, roll = 0, yaw = 0, height = 0;
};

// An effect column: its level at each row.
struct EffectTrack {
    std::string name;
    std::vector<int> levels;
};

struct MotionFile {
    std::vector<MotionSample> samples; // time never decreases
    std::vector<EffectTrack> effects;
};

// Throws UsageError naming the file and the line for anything it cannot use;
// tells `progress` how far it has read.
MotionFile loadMotionFile(const std::string& path, const CsvReader::ReadProgress& progress = {});

// The posture at `time`, linearly between the rows around it.
MotionSample postureAt(const MotionFile& file, double time);
// The row whose effect levels hold at `time`.
std::size_t rowAt(const MotionFile& file, double time);

} // namespace karvel::cli
