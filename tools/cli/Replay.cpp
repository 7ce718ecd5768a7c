#include "Replay.h"

#include <unistd.h>

#include <cmath>
#include <cstdio>
#include <string>
#include <vector>

#include "FramePacer.h"

namespace karvel::cli {

namespace {

void applyEffect(SeatSession& seat, const std::string& name, int level) {
    if (name == "wind") seat.wind(level);
    else if (name == "mist") seat.mist(level);
    else if (name == "scent") seat.scent(level);
    else seat.heater(level != 0);
}

void drawProgress(std::uint64_t done, std::uint64_t total, std::uint64_t late) {
    constexpr int kWidth = 40;
    const int filled = static_cast<int>(kWidth * done / total);
    std::fprintf(stderr, "\r[%s%s] %3d%% %llu/%llu frames, %llu late", std::string(filled, '#').c_str(),
                 std::string(kWidth - filled, '.').c_str(), static_cast<int>(100 * done / total),
                 static_cast<unsigned long long>(done), static_cast<unsigned long long>(total),
                 static_cast<unsigned long long>(late));
}

} // namespace

int replay(SeatSession& seat, const MotionFile& file, double rateHz) {
    const bool effects = !file.effects.empty() && seat.effectsEnabled();
    if (!file.effects.empty() && !effects)
        std::fprintf(stderr, "karvel: the effect columns are ignored: this seat has no effects\n");
    const double start = file.samples.front().time;
    const double duration = file.samples.back().time - start;
    const auto total = static_cast<std::uint64_t>(std::floor(duration * rateHz + 1e-9)) + 1;
    const bool terminal = isatty(STDERR_FILENO) != 0;

    std::vector<int> applied(file.effects.size(), -1);
    FramePacer pacer(rateHz);
    std::uint64_t sent = 0;
    for (; sent < total && pacer.waitFor(sent); ++sent) {
        const double time = start + pacer.timeOf(sent);
        const MotionSample posture = postureAt(file, time);
        seat.posture(posture.pitch, posture.roll, posture.yaw, posture.height);
        const std::size_t row = rowAt(file, time);
        for (std::size_t i = 0; effects && i < file.effects.size(); ++i) {
            const int level = file.effects[i].levels[row];
            if (level == applied[i]) continue;
            applyEffect(seat, file.effects[i].name, level);
            applied[i] = level;
        }
        if (terminal && (sent % 10 == 0 || sent + 1 == total)) drawProgress(sent + 1, total, pacer.late());
    }
    if (terminal) std::fprintf(stderr, "\n");
    const double elapsed = pacer.elapsedSeconds();
    std::printf("replay: %llu of %llu frames sent in %.2f s (%.1f Hz, asked %.1f Hz), %llu late, worst %.1f ms behind\n",
                static_cast<unsigned long long>(sent), static_cast<unsigned long long>(total), elapsed,
                elapsed > 0 && sent > 1 ? (sent - 1) / elapsed : 0.0, rateHz,
                static_cast<unsigned long long>(pacer.late()), pacer.worstLatenessMs());
    return sent == total ? 0 : 130;
}

} // namespace karvel::cli
