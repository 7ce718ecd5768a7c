#include "SeatMotion.h"

#include <algorithm>
#include <cmath>
#include <stdexcept>
#include <string>

#include "Interrupt.h"

namespace karvel::cli {

SeatMotion::SeatMotion(SeatSession& seat, const KarvelCueing::CueingProfile& envelope, double rateHz)
    : seat_(seat), pacer_(rateHz) {
    std::string error;
    if (!cueing_.SetProfile(envelope, &error)) throw std::invalid_argument("motion envelope: " + error);
    cueing_.SetSeatModel(seat.model());
    target_ = seat.homePose();
}

SeatMotion::~SeatMotion() { stopFollowing(); }

void SeatMotion::send(const KarvelCueing::SeatPose& pose) {
    seat_.posture(static_cast<float>(pose.Pitch), static_cast<float>(pose.Roll), static_cast<float>(pose.Yaw),
                  static_cast<float>(pose.Height));
    pacer_.measure(next_++);
}

bool SeatMotion::frame(const std::function<KarvelCueing::SeatPose(double)>& next) {
    if (!pacer_.waitFor(next_)) return false;
    send(next(step()));
    return true;
}

void SeatMotion::follow(const KarvelCueing::SeatPose& target) {
    std::lock_guard<std::mutex> lock(mutex_);
    target_ = target;
    if (follower_.joinable()) return;
    cueing_.Resume(); // after a park; nothing otherwise
    stop_ = false;
    follower_ = std::thread(&SeatMotion::followLoop, this);
}

KarvelCueing::SeatPose SeatMotion::target() {
    std::lock_guard<std::mutex> lock(mutex_);
    return target_;
}

void SeatMotion::followLoop() {
    keepInterruptsOffThisThread();
    std::unique_lock<std::mutex> lock(mutex_);
    while (!wake_.wait_until(lock, pacer_.dueOf(next_), [this] { return stop_; })) {
        const KarvelCueing::SeatPose target = target_;
        lock.unlock();
        send(cueing_.StepPosture(step(), target));
        lock.lock();
    }
}

void SeatMotion::stopFollowing() {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        stop_ = true;
    }
    wake_.notify_all();
    if (follower_.joinable()) follower_.join();
}

ParkOutcome SeatMotion::park() {
    stopFollowing();
    // Every posture came through the envelope, so it lies within the limits
    // that the profile's park time covers; the margin is for a fault of ours.
    const double seconds = 2 * cueing_.Profile().ParkSeconds + 1;
    const auto limit = static_cast<std::uint64_t>(std::ceil(seconds / std::min(step(), KarvelCueing::MaxStepSeconds)));
    cueing_.Park();
    ParkOutcome outcome;
    while (!cueing_.IsParked()) {
        if (outcome.frames == limit) {
            outcome.end = ParkOutcome::End::NotInTime;
            break;
        }
        if (!pacer_.waitFor(next_, 2)) {
            outcome.end = ParkOutcome::End::CutShort;
            break;
        }
        send(cueing_.StepPark(step()));
        ++outcome.frames;
    }
    return outcome;
}

} // namespace karvel::cli
