#include "PacedStream.h"

#include <chrono>
#include <cmath>

#include "Console.h"
#include "Progress.h"
#include "Terminal.h"

namespace karvel::cli {

PacedStream::PacedStream(const char* name, SeatMotion& motion, double seconds)
    : name_(name),
      motion_(motion),
      total_(static_cast<std::uint64_t>(std::floor(seconds * motion.pacer().rate() + 1e-9)) + 1) {}

bool PacedStream::run(const std::function<KarvelCueing::SeatPose(double, double)>& pose) {
    const FramePacer& pacer = motion_.pacer();
    const FramePacer::Clock::time_point start = pacer.dueOf(motion_.nextFrame());
    const std::uint64_t lateBefore = pacer.late();
    const auto secondsSince = [](FramePacer::Clock::time_point from) {
        return std::chrono::duration<double>(FramePacer::Clock::now() - from).count();
    };
    {
        Progress progress(name_, terminal::isTerminal(terminal::Stream::Error));
        for (; streamed_ < total_; ++streamed_) {
            const double offset = pacer.timeOf(streamed_);
            if (!motion_.frame([&](double dt) { return pose(offset, dt); })) break;
            const std::uint64_t done = streamed_ + 1;
            const double elapsed = secondsSince(start);
            if (!progress.due(elapsed, done == total_)) continue;
            // The schedule is real time: what is left takes its frames' time.
            const double remaining = static_cast<double>(total_ - done) / pacer.rate();
            const std::string counts =
                console::format("%llu/%llu frames, %llu late", static_cast<unsigned long long>(done),
                                static_cast<unsigned long long>(total_),
                                static_cast<unsigned long long>(pacer.late() - lateBefore));
            progress.show({done, total_, elapsed, remaining, counts});
        }
    }
    elapsed_ = secondsSince(start);
    late_ = pacer.late() - lateBefore;
    worstMs_ = pacer.worstLatenessMs();
    return streamed_ == total_;
}

void PacedStream::printSummary() const {
    const double rate = motion_.pacer().rate();
    console::printResult(console::format(
        "%s: %llu of %llu postures streamed in %.2f s (%.1f Hz, asked %.1f Hz), %llu late, worst %.1f ms behind",
        name_, static_cast<unsigned long long>(streamed_), static_cast<unsigned long long>(total_), elapsed_,
        elapsed_ > 0 && streamed_ > 1 ? (streamed_ - 1) / elapsed_ : 0.0, rate, static_cast<unsigned long long>(late_),
        worstMs_));
}

} // namespace karvel::cli
