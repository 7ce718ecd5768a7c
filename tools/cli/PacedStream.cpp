#include "PacedStream.h"

#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <string>

#include "Console.h"

namespace karvel::cli {

PacedStream::PacedStream(double seconds, double rateHz)
    : rate_(rateHz),
      total_(static_cast<std::uint64_t>(std::floor(seconds * rateHz + 1e-9)) + 1),
      terminal_(isatty(STDERR_FILENO) != 0),
      pacer_(rateHz) {}

bool PacedStream::run(const std::function<void(double)>& frame) {
    for (; sent_ < total_ && pacer_.waitFor(sent_); ++sent_) {
        frame(pacer_.timeOf(sent_));
        if (terminal_ && (sent_ % 10 == 0 || sent_ + 1 == total_)) drawProgress(sent_ + 1);
    }
    elapsed_ = pacer_.elapsedSeconds();
    late_ = pacer_.late();
    worstMs_ = pacer_.worstLatenessMs();
    if (terminal_) console::endBar();
    return sent_ == total_;
}

void PacedStream::extra(const std::function<void()>& frame) {
    pacer_.waitThrough(sent_ + extras_++);
    frame();
}

void PacedStream::drawProgress(std::uint64_t done) const {
    char counters[96];
    std::snprintf(counters, sizeof counters, " %3d%% %llu/%llu frames, %llu late", static_cast<int>(100 * done / total_),
                  static_cast<unsigned long long>(done), static_cast<unsigned long long>(total_),
                  static_cast<unsigned long long>(pacer_.late()));
    // The bar gives way to the counters on a narrow terminal.
    const int room = console::terminalColumns() - 1 - static_cast<int>(std::string(counters).size()) - 2;
    const int width = std::clamp(room, 0, 40);
    const int filled = static_cast<int>(static_cast<std::uint64_t>(width) * done / total_);
    console::showBar("[" + std::string(filled, '#') + std::string(width - filled, '.') + "]" + counters);
}

void PacedStream::printSummary(const char* name) const {
    std::printf("%s: %llu of %llu frames sent in %.2f s (%.1f Hz, asked %.1f Hz), %llu late, worst %.1f ms behind\n",
                name, static_cast<unsigned long long>(sent_), static_cast<unsigned long long>(total_), elapsed_,
                elapsed_ > 0 && sent_ > 1 ? (sent_ - 1) / elapsed_ : 0.0, rate_,
                static_cast<unsigned long long>(late_), worstMs_);
}

} // namespace karvel::cli
