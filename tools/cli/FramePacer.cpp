#include "FramePacer.h"

#include "Interrupt.h"

namespace karvel::cli {

FramePacer::FramePacer(double rateHz) : rate_(rateHz), start_(std::chrono::steady_clock::now()) {}

bool FramePacer::waitFor(std::uint64_t index) {
    const auto due = start_ + std::chrono::duration_cast<std::chrono::steady_clock::duration>(
                                  std::chrono::duration<double>(timeOf(index)));
    if (!sleepUntil(due)) return false;
    const std::chrono::duration<double> lateness = std::chrono::steady_clock::now() - due;
    if (lateness > worst_) worst_ = lateness;
    if (lateness.count() > 0.5 / rate_) ++late_;
    return true;
}

double FramePacer::elapsedSeconds() const {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start_).count();
}

} // namespace karvel::cli
