#include "MotionEndpoint.h"

#include <stdexcept>
#include <string>

namespace karvel::sim {

namespace {
constexpr int kPollMs = 100;
constexpr std::chrono::seconds kRateWindow{1};
} // namespace

MotionEndpoint::MotionEndpoint(const KarvelSeat::SeatModel& model, std::uint16_t port, const AxisRates& maxRates,
                               std::function<void()> onChange)
    : model_(model), onChange_(std::move(onChange)), socket_(net::openUdpSocket()), rates_(maxRates) {
    if (socket_ == net::kInvalidSocket || !net::bindLoopback(socket_, port)) {
        net::closeSocket(socket_);
        throw std::runtime_error("cannot bind the motion endpoint to 127.0.0.1:" + std::to_string(port));
    }
    net::setReceiveBufferSize(socket_, 8 * 1024 * 1024); // a burst of frames must not be dropped
    port_ = net::localPort(socket_);
    thread_ = std::thread(&MotionEndpoint::receiveLoop, this);
}

MotionEndpoint::~MotionEndpoint() {
    running_ = false;
    thread_.join();
    net::closeSocket(socket_);
}

MotionState MotionEndpoint::state() const {
    std::lock_guard<std::mutex> lock(mutex_);
    forgetOldFrames();
    MotionState copy = state_;
    copy.rates = rates_.report();
    copy.framesPerSecond = static_cast<double>(recent_.size());
    return copy;
}

void MotionEndpoint::forgetOldFrames() const {
    const auto now = std::chrono::steady_clock::now();
    while (!recent_.empty() && now - recent_.front() > kRateWindow) recent_.pop_front();
}

void MotionEndpoint::receiveLoop() {
    std::uint8_t buffer[2048];
    while (running_) {
        const long size = net::receiveFrom(socket_, buffer, sizeof buffer, kPollMs, nullptr);
        // A datagram larger than the buffer arrives cut to its size: still the wrong length.
        if (size > 0) accept(buffer, static_cast<std::size_t>(size));
    }
}

void MotionEndpoint::accept(const std::uint8_t* data, std::size_t size) {
    FrameFault fault = FrameFault::None;
    const std::optional<MotionFrame> frame = decodeMotionFrame(data, size, fault);
    {
        std::lock_guard<std::mutex> lock(mutex_);
        if (frame) {
            ++state_.frames;
            state_.received = true;
            state_.last = *frame;
            state_.posture = invertTargets(model_, frame->targets);
            const auto now = std::chrono::steady_clock::now();
            rates_.add(state_.frames, state_.posture, std::chrono::duration<double>(now.time_since_epoch()).count());
            recent_.push_back(now);
            forgetOldFrames();
        } else {
            if (fault == FrameFault::WrongLength) ++state_.wrongLength;
            if (fault == FrameFault::BadStart) ++state_.badStart;
            if (fault == FrameFault::BadEnd) ++state_.badEnd;
            state_.lastFault = std::string(faultName(fault)) + " (" + std::to_string(size) + " bytes)";
        }
    }
    onChange_();
}

} // namespace karvel::sim
