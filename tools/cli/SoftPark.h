// The soft park that ends `cue` and `replay`: the seat ramps home within the
// cueing profile's limits, on the stream's schedule, before the session's
// usual home frame.
#pragma once

#include <cstdint>
#include <optional>

#include "MotionCueing.h"
#include "PacedStream.h"
#include "SeatSession.h"

namespace karvel::cli {

void sendPose(SeatSession& seat, const KarvelCueing::SeatPose& pose);

// Parks from where `cueing` has the seat. The frames the park took, or
// nothing when the seat was not home within twice the profile's park time
// and a second (the session's home frame then takes it there at once).
std::optional<std::uint64_t> parkSoftly(SeatSession& seat, KarvelCueing::MotionCueing& cueing, PacedStream& stream);

// "NAME: parked in S s (N frames)" or why it was not, on standard output;
// `detail` (e.g. "profile road; ") goes before it.
void printPark(const char* name, const char* detail, const std::optional<std::uint64_t>& parked, double rateHz);

} // namespace karvel::cli
