#include "FramePacer.h"

#include "Interrupt.h"

namespace karvel::cli {

FramePacer::FramePacer(double rateHz) : rate_(rateHz), start_(Clock::now()) {}

FramePacer::Clock::time_point FramePacer::dueOf(std::uint64_t index) const {
    return start_ + std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double>(timeOf(index)));
}

bool FramePacer::waitFor(std::uint64_t index, int enough) { return sleepUntil(dueOf(index), enough); }

void FramePacer::measure(std::uint64_t index) {
    const std::chrono::duration<double> lateness = Clock::now() - dueOf(index);
    if (lateness > worst_) worst_ = lateness;
    if (lateness.count() <= 0.5 / rate_) return;
    ++late_;
    start_ += std::chrono::duration_cast<Clock::duration>(lateness);
}

} // namespace karvel::cli
