#include "RateWatch.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <numeric>
#include <vector>

#include "MotionCueing.h"

namespace karvel::sim {

namespace {

constexpr std::size_t kWindow = 64;       // recent intervals that give the sender's frame time
constexpr std::size_t kKnownAfter = 8;    // intervals before the sender's frame time is trusted
constexpr double kNewStreamGap = 0.5;     // s of silence after which a stream starts afresh
constexpr double kTolerance = 1.1;        // a tenth more than the limit before a frame is flagged
// What the pulse targets' truncation alone can move an axis between frames.
constexpr double kAngleQuantum = 2e-3;    // deg
constexpr double kHeightQuantum = 2e-4;

struct Axis {
    const char* name;
    double AxisRates::*rate;
    double DecodedPosture::*value;
    double quantum;
    const char* unit;
};

const Axis kAxes[] = {{"pitch", &AxisRates::pitch, &DecodedPosture::pitch, kAngleQuantum, "deg"},
                      {"roll", &AxisRates::roll, &DecodedPosture::roll, kAngleQuantum, "deg"},
                      {"yaw", &AxisRates::yaw, &DecodedPosture::yaw, kAngleQuantum, "deg"},
                      {"height", &AxisRates::height, &DecodedPosture::height, kHeightQuantum, ""}};

} // namespace

AxisRates presetRateLimits() {
    AxisRates limits;
    for (const std::string& name : KarvelCueing::PresetProfileNames()) {
        const KarvelCueing::CueingProfile& p = *KarvelCueing::FindPresetProfile(name);
        limits.pitch = std::max(limits.pitch, p.PitchVelocity);
        limits.roll = std::max(limits.roll, p.RollVelocity);
        limits.yaw = std::max(limits.yaw, p.YawVelocity);
        limits.height = std::max(limits.height, p.HeightVelocity);
    }
    return limits;
}

RateWatch::RateWatch(const AxisRates& limits) { report_.limits = limits; }

double RateWatch::frameStep(double interval) {
    if (interval > kNewStreamGap) intervals_.clear();
    else intervals_.push_back(interval);
    if (intervals_.size() > kWindow) intervals_.pop_front();
    // A new stream's first frames may come bunched (its sender, or this
    // receiver, still waking up on a busy machine): until its frame time is
    // known they may move what the limits allow in the longest step, as after
    // a pause.
    if (intervals_.size() < kKnownAfter) return KarvelCueing::MaxStepSeconds;
    double step = interval;
    if (!intervals_.empty()) {
        std::vector<double> sorted(intervals_.begin(), intervals_.end());
        std::nth_element(sorted.begin(), sorted.begin() + sorted.size() / 2, sorted.end());
        const double mean = std::accumulate(sorted.begin(), sorted.end(), 0.0) / sorted.size();
        step = std::max({step, mean, sorted[sorted.size() / 2]});
    }
    return std::min(step, KarvelCueing::MaxStepSeconds);
}

RateReport RateWatch::reportAt(double seconds) const {
    RateReport report = report_;
    if (first_ || seconds - previousSeconds_ > kStillAfter) report.current = AxisRates{};
    return report;
}

void RateWatch::startSession() {
    const AxisRates limits = report_.limits;
    report_ = RateReport{};
    report_.limits = limits;
}

bool RateWatch::add(std::uint64_t frame, const DecodedPosture& posture, double seconds) {
    if (first_) {
        first_ = false;
        previous_ = posture;
        previousSeconds_ = seconds;
        return false;
    }
    const double interval = std::max(0.0, seconds - previousSeconds_);
    const double step = frameStep(interval);
    bool flagged = false;
    std::string why;
    for (const Axis& axis : kAxes) {
        const double change = posture.*axis.value - previous_.*axis.value;
        const double rate = step > 0 ? change / step : 0;
        report_.current.*axis.rate = rate;
        report_.peak.*axis.rate = std::max(report_.peak.*axis.rate, std::abs(rate));
        const double allowed = report_.limits.*axis.rate * step * kTolerance + axis.quantum;
        if (std::abs(change) <= allowed) continue;
        flagged = true;
        char text[160];
        std::snprintf(text, sizeof text, "%s%s %+.3f%s in %.1f ms (%.1f/s, limit %.1f/s)", why.empty() ? "" : "; ",
                      axis.name, change, axis.unit, interval * 1e3, rate, report_.limits.*axis.rate);
        why += text;
    }
    if (flagged) {
        ++report_.flagged;
        report_.lastFlag = "frame " + std::to_string(frame) + ": " + why;
    }
    previous_ = posture;
    previousSeconds_ = seconds;
    return flagged;
}

} // namespace karvel::sim
