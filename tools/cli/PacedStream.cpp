#include "PacedStream.h"

#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <string>

#include "Console.h"

namespace karvel::cli {

PacedStream::PacedStream(SeatMotion& motion, double seconds)
    : motion_(motion),
      total_(static_cast<std::uint64_t>(std::floor(seconds * motion.pacer().rate() + 1e-9)) + 1),
      terminal_(isatty(STDERR_FILENO) != 0) {}

bool PacedStream::run(const std::function<KarvelCueing::SeatPose(double, double)>& pose) {
    const FramePacer& pacer = motion_.pacer();
    const FramePacer::Clock::time_point start = pacer.dueOf(motion_.nextFrame());
    const std::uint64_t lateBefore = pacer.late();
    for (; streamed_ < total_; ++streamed_) {
        const double offset = pacer.timeOf(streamed_);
        if (!motion_.frame([&](double dt) { return pose(offset, dt); })) break;
        if (terminal_ && (streamed_ % 10 == 0 || streamed_ + 1 == total_))
            drawProgress(streamed_ + 1, pacer.late() - lateBefore);
    }
    elapsed_ = std::chrono::duration<double>(FramePacer::Clock::now() - start).count();
    late_ = pacer.late() - lateBefore;
    worstMs_ = pacer.worstLatenessMs();
    if (terminal_) console::endBar();
    return streamed_ == total_;
}

void PacedStream::drawProgress(std::uint64_t done, std::uint64_t late) const {
    char counters[96];
    std::snprintf(counters, sizeof counters, " %3d%% %llu/%llu frames, %llu late", static_cast<int>(100 * done / total_),
                  static_cast<unsigned long long>(done), static_cast<unsigned long long>(total_),
                  static_cast<unsigned long long>(late));
    // The bar gives way to the counters on a narrow terminal.
    const int room = console::terminalColumns() - 1 - static_cast<int>(std::string(counters).size()) - 2;
    const int width = std::clamp(room, 0, 40);
    const int filled = static_cast<int>(static_cast<std::uint64_t>(width) * done / total_);
    console::showBar("[" + std::string(filled, '#') + std::string(width - filled, '.') + "]" + counters);
}

void PacedStream::printSummary(const char* name) const {
    const double rate = motion_.pacer().rate();
    std::printf("%s: %llu of %llu postures streamed in %.2f s (%.1f Hz, asked %.1f Hz), %llu late, worst %.1f ms "
                "behind\n",
                name, static_cast<unsigned long long>(streamed_), static_cast<unsigned long long>(total_), elapsed_,
                elapsed_ > 0 && streamed_ > 1 ? (streamed_ - 1) / elapsed_ : 0.0, rate,
                static_cast<unsigned long long>(late_), worstMs_);
}

} // namespace karvel::cli
