// The seat's motion as the host sends it: every posture passes one safety
// envelope (the cueing core: a position range, speed and acceleration limits),
// frames go out at a steady rate on one absolute schedule, and a ride ends in
// a soft park from the posture the library really got. The envelope starts at
// the seat's home, at rest, so that a ride eases out of it.
#pragma once

#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <thread>

#include "FramePacer.h"
#include "MotionCueing.h"
#include "SeatSession.h"

namespace karvel::cli {

struct ParkOutcome {
    enum class End {
        Home,      // home and at rest
        CutShort,  // a second stop request
        NotInTime, // not home within twice the profile's park time and a second
    };
    End end = End::Home;
    std::uint64_t frames = 0; // the park's frames
};

class SeatMotion {
public:
    // Throws std::invalid_argument for a profile the cueing core refuses.
    SeatMotion(SeatSession& seat, const KarvelCueing::CueingProfile& envelope, double rateHz);
    // Stops following.
    ~SeatMotion();
    SeatMotion(const SeatMotion&) = delete;
    SeatMotion& operator=(const SeatMotion&) = delete;

    // The envelope, for frame()'s `next` (`cue` steps it with the vehicle's
    // motion, the others with StepPosture).
    KarvelCueing::MotionCueing& cueing() { return cueing_; }
    const FramePacer& pacer() const { return pacer_; }
    double step() const { return 1.0 / pacer_.rate(); }
    // The index of the next frame on the schedule.
    std::uint64_t nextFrame() const { return next_; }

    // Waits for the next frame's time, then sends the posture `next(step())`
    // gives; false, sending nothing, when a stop request came first.
    bool frame(const std::function<KarvelCueing::SeatPose(double dt)>& next);

    // From now on a thread of its own sends every frame of the schedule, each
    // a step of the envelope towards `target`, until park(); called again, it
    // changes the target. Not mixed with frame().
    void follow(const KarvelCueing::SeatPose& target);
    // The last target given to follow() (home before any).
    KarvelCueing::SeatPose target();

    // Stops following and brings the seat home within the envelope's limits on
    // the same schedule, through a first stop request; a second one cuts it
    // short. Afterwards the seat holds home, and follow() moves it on again.
    ParkOutcome park();

private:
    void send(const KarvelCueing::SeatPose& pose);
    void followLoop();
    void stopFollowing();

    SeatSession& seat_;
    KarvelCueing::MotionCueing cueing_; // the follower's while it runs
    FramePacer pacer_;                  // the same
    std::uint64_t next_ = 0;            // the same

    std::mutex mutex_;
    std::condition_variable wake_;
    KarvelCueing::SeatPose target_; // guarded by mutex_; home from the constructor
    bool stop_ = false;             // guarded by mutex_
    std::thread follower_;
};

} // namespace karvel::cli
