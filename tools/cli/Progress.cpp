#include "Progress.h"

#include <algorithm>
#include <cmath>

#include "Console.h"
#include "Terminal.h"

namespace karvel::cli {

namespace {
constexpr double kRedrawEvery = 0.1; // seconds, on a terminal
constexpr double kLineEvery = 5;     // seconds, elsewhere
constexpr int kBarWidth = 40;
} // namespace

std::string clockText(double seconds) {
    const auto whole = static_cast<long long>(std::max(0.0, std::round(seconds)));
    const long long hours = whole / 3600, minutes = whole / 60 % 60, rest = whole % 60;
    return hours > 0 ? console::format("%lld:%02lld:%02lld", hours, minutes, rest)
                     : console::format("%lld:%02lld", minutes, rest);
}

std::string progressText(const ProgressPoint& point) {
    const double share = point.total > 0 ? static_cast<double>(point.done) / static_cast<double>(point.total) : 1;
    double remaining = point.remaining;
    if (remaining < 0) remaining = share > 0 ? point.elapsed * (1 - share) / share : 0;
    std::string text = console::format("%3d%% %s elapsed, ", static_cast<int>(100 * share),
                                       clockText(point.elapsed).c_str());
    text += share > 0 || point.remaining >= 0 ? clockText(remaining) + " left" : "time left unknown";
    return point.counts.empty() ? text : text + ", " + point.counts;
}

ProgressOutput consoleProgressOutput() { return {console::printLine, console::showBar, console::endBar}; }

Progress::Progress(std::string title, bool terminal, double barAfter, ProgressOutput output)
    : title_(std::move(title)),
      terminal_(terminal),
      barAfter_(barAfter),
      output_(std::move(output)),
      nextAt_(terminal ? barAfter : kLineEvery) {}

Progress::~Progress() {
    if (barDrawn_) output_.endBar();
}

bool Progress::due(double elapsed, bool last) const {
    if (terminal_ && last) return barDrawn_ || elapsed >= barAfter_;
    return elapsed >= nextAt_;
}

void Progress::show(const ProgressPoint& point) {
    if (!due(point.elapsed, point.done >= point.total)) return;
    const std::string text = progressText(point);
    if (!terminal_) {
        output_.line(title_ + ": " + text);
        nextAt_ = (std::floor(point.elapsed / kLineEvery) + 1) * kLineEvery;
        return;
    }
    // The bar gives way to the words on a narrow terminal.
    const int room = terminal::columns() - 1 - static_cast<int>(text.size()) - 3;
    const int width = std::clamp(room, 0, kBarWidth);
    const auto filled =
        point.total > 0 ? static_cast<int>(static_cast<std::uint64_t>(width) * point.done / point.total) : width;
    output_.bar("[" + std::string(filled, '#') + std::string(width - filled, '.') + "] " + text);
    barDrawn_ = true;
    nextAt_ = point.elapsed + kRedrawEvery;
}

} // namespace karvel::cli
