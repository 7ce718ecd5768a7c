#include "Replay.h"

#include <optional>
#include <string>
#include <vector>

#include "Console.h"
#include "PacedStream.h"
#include "SoftPark.h"

namespace karvel::cli {

namespace {

void applyEffect(SeatSession& seat, const std::string& name, int level) {
    if (name == "wind") seat.wind(level);
    else if (name == "mist") seat.mist(level);
    else if (name == "scent") seat.scent(level);
    else seat.heater(level != 0);
}

} // namespace

int replay(SeatSession& seat, const MotionFile& file, double rateHz) {
    const bool effects = !file.effects.empty() && seat.effectsEnabled();
    if (!file.effects.empty() && !effects)
        console::printLine("karvel: the effect columns are ignored: this seat has no effects");
    const double start = file.samples.front().time;
    std::vector<int> applied(file.effects.size(), -1);
    PacedStream stream(file.samples.back().time - start, rateHz);
    std::optional<KarvelCueing::SeatPose> last;
    const bool complete = stream.run([&](double offset) {
        const double time = start + offset;
        const MotionSample posture = postureAt(file, time);
        seat.posture(posture.pitch, posture.roll, posture.yaw, posture.height);
        last = KarvelCueing::SeatPose{posture.pitch, posture.roll, posture.yaw, posture.height};
        const std::size_t row = rowAt(file, time);
        for (std::size_t i = 0; effects && i < file.effects.size(); ++i) {
            const int level = file.effects[i].levels[row];
            if (level == applied[i]) continue;
            applyEffect(seat, file.effects[i].name, level);
            applied[i] = level;
        }
    });
    if (!complete) console::printLine("karvel: interrupted; parking the seat");
    // From where the file left the seat, within the default cueing profile's limits.
    std::optional<std::uint64_t> parked;
    if (last) {
        KarvelCueing::MotionCueing cueing;
        cueing.SetHome(KarvelCueing::HomePose(seat.model()));
        cueing.StandAt(*last);
        parked = parkSoftly(seat, cueing, stream);
    }
    stream.printSummary("replay");
    if (last) printPark("replay", "", parked, rateHz);
    return complete ? 0 : 130;
}

} // namespace karvel::cli
