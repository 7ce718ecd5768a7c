// One registered seat, driven through the library's C interface. Counts the
// motion frames it asks for and, whichever way it ends (normal exit, error,
// Ctrl-C), turns the effects off, homes the seat and releases the library.
// Postures come from one thread at a time (SeatMotion's).
#pragma once

#include <cstdint>
#include <stdexcept>
#include <string>

#include "EffectsExports.h"
#include "Endpoint.h"
#include "KarvelLibrary.h"
#include "MotionCueing.h"

namespace karvel::cli {

// Bad input from the user: reported, and the host exits with status 2.
struct UsageError : std::runtime_error {
    using std::runtime_error::runtime_error;
};

struct SeatSetup {
    int model = 0; // 1 = Orvida (motion and effects), else Tamsel (motion only)
    tools::Endpoint motion{"127.0.0.1", 7408};
    tools::Endpoint relay{"127.0.0.1", 8234};
    tools::Endpoint speed{"127.0.0.1", 8235};
};

// An engine rotator as the engine plugin sends it: each angle normalised to
// (-180, 180], pitch and roll limited to +-15, height to 0..1.
KarvelCueing::SeatPose rotatorPose(float pitch, float yaw, float roll, float height);

class SeatSession {
public:
    // Throws std::runtime_error when the library refuses the configuration.
    SeatSession(host::KarvelLibrary& library, tools::EffectsExports& effects, const SeatSetup& setup);
    // Runs finish() unless it ran.
    ~SeatSession();
    SeatSession(const SeatSession&) = delete;
    SeatSession& operator=(const SeatSession&) = delete;

    void posture(float pitch, float roll, float yaw, float height);
    void wind(int level);
    void mist(int level);
    void scent(int level);
    void heater(bool on);
    void effectsOff();
    void udpEndpoint(const tools::Endpoint& target);
    void effectsEndpoints(const tools::Endpoint& relay, const tools::Endpoint& speed);

    // Effects off (unless that was the last effects call), home, release
    // (which sends both before it stops).
    void finish();

    // Postures and home frames handed to the library.
    std::uint64_t framesRequested() const { return frames_; }
    // The model's home: mid-stroke on an Orvida, the bottom on a Tamsel.
    KarvelCueing::SeatPose homePose() const;
    bool effectsEnabled() const { return effectsEnabled_; }

private:
    void requireEffects(const char* command) const;
    void home();

    host::KarvelLibrary& library_;
    tools::EffectsExports& effects_;
    const int model_;
    const bool effectsEnabled_;
    std::uint64_t frames_ = 0;
    bool allOff_ = false; // the last effects call turned everything off
    bool finished_ = false;
};

} // namespace karvel::cli
