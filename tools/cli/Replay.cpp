#include "Replay.h"

#include <string>
#include <vector>

#include "Console.h"
#include "PacedStream.h"

namespace karvel::cli {

namespace {

void applyEffect(SeatSession& seat, const std::string& name, int level) {
    if (name == "wind") seat.wind(level);
    else if (name == "mist") seat.mist(level);
    else if (name == "scent") seat.scent(level);
    else seat.heater(level != 0);
}

} // namespace

int replay(SeatSession& seat, SeatMotion& motion, const MotionFile& file) {
    const bool effects = !file.effects.empty() && seat.effectsEnabled();
    if (!file.effects.empty() && !effects)
        console::printLine("karvel: the effect columns are ignored: this seat has no effects");
    const double start = file.samples.front().time;
    std::vector<int> applied(file.effects.size(), -1);
    PacedStream stream("replay", motion, file.samples.back().time - start);
    stream.run([&](double offset, double dt) {
        const double time = start + offset;
        const std::size_t row = rowAt(file, time);
        for (std::size_t i = 0; effects && i < file.effects.size(); ++i) {
            const int level = file.effects[i].levels[row];
            if (level == applied[i]) continue;
            applyEffect(seat, file.effects[i].name, level);
            applied[i] = level;
        }
        const MotionSample posture = postureAt(file, time);
        return motion.cueing().StepPosture(dt, {posture.pitch, posture.roll, posture.yaw, posture.height});
    });
    stream.printSummary();
    return 0;
}

} // namespace karvel::cli
