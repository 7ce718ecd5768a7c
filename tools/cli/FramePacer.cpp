#include "FramePacer.h"

#include <thread>

#include "Interrupt.h"

namespace karvel::cli {

FramePacer::FramePacer(double rateHz) : rate_(rateHz), start_(std::chrono::steady_clock::now()) {}

std::chrono::steady_clock::time_point FramePacer::dueOf(std::uint64_t index) const {
    return start_ + std::chrono::duration_cast<std::chrono::steady_clock::duration>(
                        std::chrono::duration<double>(timeOf(index)));
}

bool FramePacer::waitFor(std::uint64_t index) {
    const auto due = dueOf(index);
    if (!sleepUntil(due)) return false;
    measure(due);
    return true;
}

void FramePacer::waitThrough(std::uint64_t index) {
    const auto due = dueOf(index);
    std::this_thread::sleep_until(due);
    measure(due);
}

void FramePacer::measure(std::chrono::steady_clock::time_point due) {
    const std::chrono::duration<double> lateness = std::chrono::steady_clock::now() - due;
    if (lateness > worst_) worst_ = lateness;
    if (lateness.count() > 0.5 / rate_) ++late_;
}

double FramePacer::elapsedSeconds() const {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start_).count();
}

} // namespace karvel::cli
