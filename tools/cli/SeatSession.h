// One registered seat, driven through the library's C interface by the host
// rules every host follows (KarvelSeat::SeatHost). Counts the motion frames it
// asks for and, whichever way it ends (normal exit, error, Ctrl-C), turns the
// effects off, homes the seat and releases the library. `run` sends postures
// from SeatMotion's thread while its commands set effects: the calls into the
// host rules are serialised, as they ask.
#pragma once

#include <cstdint>
#include <functional>
#include <mutex>
#include <string>

#include "Endpoint.h"
#include "MotionCueing.h"
#include "SeatHost/SeatHost.h"
#include "UsageError.h"

namespace karvel::cli {

struct SeatSetup {
    const KarvelSeat::SeatModel* model = &KarvelSeat::TamselSeat;
    tools::Endpoint motion{"127.0.0.1", 7408};
    tools::Endpoint relay{"127.0.0.1", 8234};
    tools::Endpoint speed{"127.0.0.1", 8235};
};

class SeatSession {
public:
    // Throws std::runtime_error naming the cause when the library refuses
    // the configuration (released again first). `guard`, when given, is kept
    // informed from the configuration to the release (it must outlive the
    // session).
    SeatSession(const KarvelSeat::LibraryFunctions& library, const SeatSetup& setup,
                KarvelSeat::GuardLink* guard = nullptr);
    // Runs finish() unless it ran.
    ~SeatSession();
    SeatSession(const SeatSession&) = delete;
    SeatSession& operator=(const SeatSession&) = delete;

    // Pitch and roll limited to +-15, yaw to +-180, height to 0..1.
    void posture(float pitch, float roll, float yaw, float height);
    void wind(int level);
    void mist(int level);
    void scent(int level);
    void heater(bool on);
    void effectsOff();
    void udpEndpoint(const tools::Endpoint& target);
    void effectsEndpoints(const tools::Endpoint& relay, const tools::Endpoint& speed);

    // The host rules' shutdown: `park` (the soft ramp home), effects off,
    // home, release (which sends both before it stops).
    void finish(const std::function<void()>& park = {});

    // Postures and home frames handed to the library.
    std::uint64_t framesRequested() const { return frames_; }
    const KarvelSeat::SeatModel& model() const { return host_.Model(); }
    // The model's home as the motion envelope's pose.
    KarvelCueing::SeatPose homePose() const { return KarvelCueing::HomePose(model()); }
    bool effectsEnabled() const { return host_.EffectsEnabled(); }

private:
    void requireEffects(const char* command) const;

    std::mutex mutex_; // serialises the calls into host_
    KarvelSeat::SeatHost host_;
    std::uint64_t frames_ = 0; // guarded by mutex_ until finish()
    bool finished_ = false;
};

} // namespace karvel::cli
