#include "Demo.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <functional>
#include <string>

#include "Console.h"

namespace karvel::cli {

namespace {

constexpr float kTwoPi = 6.2831853f;

struct Posture {
    float pitch, roll, yaw, height;
};

struct Phase {
    const char* title;
    std::function<void(SeatSession&)> effects; // at the phase's start
    std::function<Posture(float)> posture;      // of the phase's progress 0..1
};

// Each phase starts and ends at the neutral posture, so that phases join and
// the park after the last one has little to do. At the default ten seconds
// the ride asks for about what the envelope allows (pitch and roll 30 deg/s,
// yaw 90 deg/s, height 1.5/s); shorter rides are slowed down by it.
const Phase kPhases[] = {
    {"pitch: nose up and down, fan low",
     [](SeatSession& s) { s.wind(1); },
     [](float t) { return Posture{10.0f * std::sin(kTwoPi * t), 0, 0, 0.5f}; }},
    {"roll: lean left and right, fan medium, mist",
     [](SeatSession& s) { s.wind(2); s.mist(1); },
     [](float t) { return Posture{0, 10.0f * std::sin(kTwoPi * t), 0, 0.5f}; }},
    {"yaw: turn left and right, small water, scent 1",
     [](SeatSession& s) { s.mist(2); s.scent(1); },
     [](float t) { return Posture{0, 0, 30.0f * std::sin(kTwoPi * t), 0.5f}; }},
    {"height: bounce, big water, scent 2, heater on, fan high",
     [](SeatSession& s) { s.mist(3); s.scent(2); s.heater(true); s.wind(3); },
     [](float t) { return Posture{0, 0, 0, 0.5f + 0.2f * std::sin(2 * kTwoPi * t)}; }},
    {"ride: everything at once, mist off, heater off",
     [](SeatSession& s) { s.mist(0); s.heater(false); },
     [](float t) {
         return Posture{5.0f * std::sin(2 * kTwoPi * t), 6.0f * std::sin(kTwoPi * t),
                        30.0f * std::sin(kTwoPi * t), 0.5f + 0.1f * std::sin(2 * kTwoPi * t)};
     }},
};

} // namespace

int demo(SeatSession& seat, SeatMotion& motion, double seconds) {
    constexpr std::size_t kPhaseCount = sizeof kPhases / sizeof kPhases[0];
    const FramePacer& pacer = motion.pacer();
    const auto perPhase = static_cast<std::uint64_t>(std::max(1.0, seconds * pacer.rate() / kPhaseCount));
    if (!seat.effectsEnabled()) console::printResult("demo: motion only, this seat has no effects");
    const std::uint64_t lateBefore = pacer.late();
    const FramePacer::Clock::time_point start = pacer.dueOf(motion.nextFrame());
    std::uint64_t frames = 0;
    for (const Phase& phase : kPhases) {
        console::printResult(std::string("demo: ") + phase.title);
        if (seat.effectsEnabled()) phase.effects(seat);
        for (std::uint64_t i = 0; i < perPhase; ++i, ++frames) {
            const Posture p = phase.posture(static_cast<float>(i) / static_cast<float>(perPhase));
            const KarvelCueing::SeatPose asked{p.pitch, p.roll, p.yaw, p.height};
            if (!motion.frame([&](double dt) { return motion.cueing().StepPosture(dt, asked); })) return 0;
        }
    }
    console::printResult(console::format("demo: %llu postures in %.2f s, %llu late; effects off, the park and home follow",
                                         static_cast<unsigned long long>(frames),
                                         std::chrono::duration<double>(FramePacer::Clock::now() - start).count(),
                                         static_cast<unsigned long long>(pacer.late() - lateBefore)));
    return 0;
}

} // namespace karvel::cli
