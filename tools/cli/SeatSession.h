// One registered seat, driven through the library's C interface. Counts the
// motion frames it asks for and, whichever way it ends (normal exit, error,
// Ctrl-C), turns the effects off, homes the seat and releases the library.
#pragma once

#include <cstdint>
#include <stdexcept>
#include <string>

#include "EffectsExports.h"
#include "Endpoint.h"
#include "KarvelLibrary.h"
#include "UsageError.h"

namespace karvel::cli {

struct SeatSetup {
    int model = 0; // 1 = Orvida (motion and effects), else Tamsel (motion only)
    tools::Endpoint motion{"127.0.0.1", 7408};
    tools::Endpoint relay{"127.0.0.1", 8234};
    tools::Endpoint speed{"127.0.0.1", 8235};
};

class SeatSession {
public:
    // Throws std::runtime_error when the library refuses the configuration.
    SeatSession(host::KarvelLibrary& library, tools::EffectsExports& effects, const SeatSetup& setup);
    // Runs finish() unless it ran.
    ~SeatSession();
    SeatSession(const SeatSession&) = delete;
    SeatSession& operator=(const SeatSession&) = delete;

    void posture(float pitch, float roll, float yaw, float height);
    // An engine rotator: each angle normalised to (-180, 180], pitch and roll limited to +-15.
    void rotate(float pitch, float yaw, float roll, float height);
    void home();
    void wind(int level);
    void mist(int level);
    void scent(int level);
    void heater(bool on);
    void effectsOff();
    void udpEndpoint(const tools::Endpoint& target);
    void effectsEndpoints(const tools::Endpoint& relay, const tools::Endpoint& speed);

    // Effects off, home, release (which sends both before it stops).
    void finish();

    std::uint64_t framesSent() const { return frames_; }
    // The height of the model's home: mid-stroke on an Orvida, the bottom on a Tamsel.
    float homeHeight() const { return model_ == 1 ? 0.5f : 0.0f; }
    bool effectsEnabled() const { return effectsEnabled_; }

private:
    void requireEffects(const char* command) const;

    host::KarvelLibrary& library_;
    tools::EffectsExports& effects_;
    const int model_;
    const bool effectsEnabled_;
    std::uint64_t frames_ = 0;
    bool finished_ = false;
};

} // namespace karvel::cli
