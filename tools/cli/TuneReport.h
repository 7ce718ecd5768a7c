// The report of `karvel tune`: one self-contained HTML page (inline SVG, no
// script, nothing fetched) that shows, channel by channel, what a rider
// perceives in the seat against what a person perceives in the vehicle,
// where the seat gives a wrong-way cue, how much of each axis's range the
// seat uses, and what to change in the profile.
#pragma once

#include <string>
#include <vector>

#include "CueEvaluation.h"
#include "MotionCueing.h"

namespace karvel::cli {

struct TuneSubject {
    std::string telemetryName; // the file as given
    std::string profileName;   // the preset's name or the profile file
    KarvelCueing::CueingProfile profile;
    std::string seatName;
    double strokeMetres = 0;
};

// Advice drawn from the measures and the profile, one sentence each, most
// telling first; empty when nothing stands out.
std::vector<std::string> tuningHints(const KarvelCueEvaluation::Evaluation& evaluation,
                                     const KarvelCueing::CueingProfile& profile);

std::string renderTuneReport(const TuneSubject& subject, const KarvelCueEvaluation::Evaluation& evaluation);

} // namespace karvel::cli
