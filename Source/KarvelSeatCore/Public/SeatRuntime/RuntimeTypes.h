// What passes between a game and the seat's motion runtime: the sample the game posts each frame, the runtime's
// settings, the state it publishes back and the lines it logs.
#pragma once

#include "SeatCoreApi.h"

#include <cstdint>
#include <functional>
#include <string>

#include "MotionCueing/CueingTypes.h"
#include "SeatHost/EffectLevels.h"
#include "SeatModels/SeatModel.h"

namespace KarvelSeat {

// The newest word from the source that holds the stream: the vehicle's motion to cue, a posture the game chose
// (through the same envelope), or park (paused, disabled, a cut scene): ramp home and rest there.
struct MotionSample {
    enum class EKind : std::uint8_t { Park, Motion, Posture };
    EKind Kind = EKind::Park;
    KarvelCueing::VehicleMotion Motion;
    // The same motion's acceleration without gravity (m/s^2, vehicle frame), for recordings only.
    KarvelCueing::Vec3 Acceleration;
    KarvelCueing::SeatPose Posture;
};

struct RuntimeSettings {
    static constexpr double MinFrameRate = 10;    // Hz
    static constexpr double MaxFrameRate = 1000;  // Hz
    static constexpr double MinWatchdogSeconds = 0.05;
    static constexpr double MaxWatchdogSeconds = 5;

    double FrameRate = 100;         // frames a second to the seat while a stream runs
    double WatchdogSeconds = 0.25;  // silence from the game after which the seat parks and the effects go off

    // Empty when usable; otherwise a message naming the value and its range.
    KARVELSEATCORE_API std::string Validate() const;
};

// The cueing core steps at this rate whatever the frame rate, several steps to a frame, so that a profile
// feels the same at 60 Hz as at 1 kHz.
constexpr double CoreStepsPerSecond = 1000;

// What the runtime last did, published after every frame and command for the game thread.
struct RuntimeState {
    Posture PostureInForce;        // the last posture the library was given
    EffectLevels EffectsInForce;   // what is commanded now (all off while held)
    bool Registered = false;       // a configuration succeeded and no unregistration came after it
    bool Streaming = false;        // a source holds the stream
    bool StreamParked = true;      // the stream rests at home (or there is none)
    bool WatchdogTripped = false;  // the game went silent: parked, effects held off
    std::uint64_t CommandsDone = 0;
};

enum class RuntimeLogLevel { Info, Warning };

// Receives the runtime's lines on the runtime's thread.
using RuntimeLog = std::function<void(RuntimeLogLevel Level, const std::string& Line)>;

} // namespace KarvelSeat
