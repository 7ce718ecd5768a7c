#include "Check.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <string>

#include "Console.h"
#include "Interrupt.h"

namespace karvel::cli {

namespace {

using KarvelCueing::SeatPose;

// Gentle excursions from home, well inside every model's range.
struct AxisMove {
    const char* name;
    const char* unit;
    double amplitude;
    double SeatPose::*axis;
};
constexpr AxisMove kAxes[] = {
    {"pitch", "deg", 5.0, &SeatPose::Pitch},
    {"roll", "deg", 5.0, &SeatPose::Roll},
    {"yaw", "deg", 15.0, &SeatPose::Yaw},
    {"height", "", 0.15, &SeatPose::Height},
};

// Steps the envelope towards `target` until the seat is there, or stays where
// the envelope holds it short of it (an end of a stroke), or 15 s passed;
// false on a stop request.
bool moveTo(SeatMotion& motion, const SeatPose& target, SeatPose& at) {
    const auto apart = [](const SeatPose& a, const SeatPose& b) {
        return std::max({std::abs(a.Pitch - b.Pitch), std::abs(a.Roll - b.Roll), std::abs(a.Yaw - b.Yaw),
                         100 * std::abs(a.Height - b.Height)});
    };
    const auto limit = static_cast<std::uint64_t>(15 * motion.pacer().rate());
    for (std::uint64_t i = 0; i < limit && apart(at, target) > 0.01; ++i) {
        const SeatPose before = at;
        if (!motion.frame([&](double dt) { return at = motion.cueing().StepPosture(dt, target); })) return false;
        if (i > 0 && apart(at, before) < 1e-6) break; // held short of the target, at rest
    }
    return true;
}

// Holds the seat where it is for `seconds` (frames keep going); false on a stop request.
bool hold(SeatMotion& motion, const SeatPose& at, double seconds) {
    const auto frames = static_cast<std::uint64_t>(std::ceil(seconds * motion.pacer().rate()));
    for (std::uint64_t i = 0; i < frames; ++i)
        if (!motion.frame([&](double dt) { return motion.cueing().StepPosture(dt, at); })) return false;
    return true;
}

struct EffectStep {
    const char* name; // at its lowest level
    void (*set)(SeatSession&, int level);
};
const EffectStep kEffects[] = {
    {"fan on at level 1", [](SeatSession& s, int level) { s.wind(level); }},
    {"water mist on at level 1", [](SeatSession& s, int level) { s.mist(level); }},
    {"scent 1 on", [](SeatSession& s, int level) { s.scent(level); }},
    {"heater on", [](SeatSession& s, int level) { s.heater(level != 0); }},
};

} // namespace

int checkSeat(SeatSession& seat, SeatMotion& motion, const CheckSetup& setup) {
    const SeatPose home = seat.homePose();
    SeatPose at = home;
    for (const AxisMove& move : kAxes) {
        console::printResult(console::format("check: %s %+g%s%s, %+g%s%s and back", move.name, move.amplitude,
                                             *move.unit ? " " : "", move.unit, -move.amplitude, *move.unit ? " " : "",
                                             move.unit));
        for (const double sign : {1.0, -1.0}) {
            SeatPose target = home;
            target.*move.axis += sign * move.amplitude;
            if (!moveTo(motion, target, at) || !hold(motion, at, setup.holdSeconds)) return 0;
        }
        if (!moveTo(motion, home, at)) return 0;
    }
    if (!seat.effectsEnabled()) {
        console::printResult("check: no effects on this seat");
        return 0;
    }
    for (const EffectStep& effect : kEffects) {
        console::printResult(std::string("check: ") + effect.name + ", then off");
        effect.set(seat, 1);
        if (!hold(motion, home, setup.holdSeconds)) return 0;
        effect.set(seat, 0);
    }
    return 0;
}

int reportCheck(const CheckedSeat& seat, const DeviceReports& reports) {
    console::printResult("check: motion controller at " + seat.motion +
                         ": frames sent; over UDP it sends no answer, so watch the seat move through each axis");
    if (seat.relay.empty()) {
        console::printResult("check: no effects devices on this seat");
        return 0;
    }
    int silent = 0;
    const std::string* endpoints[tools::kEffectsDevices] = {&seat.relay, &seat.speed};
    for (int index = 0; index < tools::kEffectsDevices; ++index) {
        const char* name = tools::effectsDeviceName(static_cast<tools::EffectsDevice>(index));
        const DeviceReport& report = reports[index];
        if (report.answering() && !report.failed) {
            console::printResult(console::format("check: %s at %s: answered", name, endpoints[index]->c_str()));
            continue;
        }
        ++silent;
        const char* verdict = report.latest == tools::DeviceNews::Refused ? "refused a request"
                              : report.answering()                        ? "answered, but not every time"
                                                                          : "did not answer";
        console::printResult(console::format("check: %s at %s: %s (%s)", name, endpoints[index]->c_str(), verdict,
                                             report.failed ? report.firstFailure.c_str() : "the library said nothing of it"));
    }
    if (silent == 0) {
        console::printResult("check: both effects devices answered");
        return 0;
    }
    console::printResult(console::format("check: %d of %d effects devices failed", silent, tools::kEffectsDevices));
    return 1;
}

} // namespace karvel::cli
