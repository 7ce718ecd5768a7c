#include "MotionEndpoint.h"

#include <stdexcept>
#include <string>

#include "ServerSockets.h"

namespace karvel::sim {

namespace {
constexpr int kPollMs = 100;
constexpr std::chrono::seconds kRateWindow{1};

double seconds(std::chrono::steady_clock::time_point at) {
    return std::chrono::duration<double>(at.time_since_epoch()).count();
}
} // namespace

MotionEndpoint::MotionEndpoint(const KarvelSeat::SeatModel& model, const net::Ipv4Endpoint& local, const AxisRates& maxRates,
                               SessionClock& sessions, std::function<void()> onChange)
    : model_(model), sessions_(sessions), onChange_(std::move(onChange)), socket_(net::bindUdp(local)),
      rates_(maxRates) {
    if (socket_ == net::kInvalidSocket)
        throw std::runtime_error("cannot bind the motion endpoint to " + net::formatIpv4(local.octets) + ":" +
                                 std::to_string(local.port));
    net::setReceiveBufferSize(socket_, 8 * 1024 * 1024); // a burst of frames must not be dropped
    port_ = net::localPort(socket_);
    thread_ = std::thread(&MotionEndpoint::receiveLoop, this);
}

MotionEndpoint::~MotionEndpoint() {
    running_ = false;
    thread_.join();
    net::closeSocket(socket_);
}

void MotionEndpoint::countFor(std::uint64_t session) const {
    if (session <= session_) return;
    session_ = session;
    // The seat stays where the last frame put it; what was counted starts again.
    state_.frames = state_.wrongLength = state_.badStart = state_.badEnd = 0;
    state_.lastFault.clear();
    rates_.startSession();
    recent_.clear();
}

MotionState MotionEndpoint::state() const {
    std::lock_guard<std::mutex> lock(mutex_);
    countFor(sessions_.number());
    forgetOldFrames();
    MotionState copy = state_;
    copy.rates = rates_.reportAt(seconds(std::chrono::steady_clock::now()));
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
        net::Ipv4Endpoint sender;
        const long size = net::receiveFrom(socket_, buffer, sizeof buffer, kPollMs, &sender);
        // A datagram larger than the buffer arrives cut to its size: still the wrong length.
        if (size > 0) accept(buffer, static_cast<std::size_t>(size), sender);
    }
}

void MotionEndpoint::accept(const std::uint8_t* data, std::size_t size, const net::Ipv4Endpoint& sender) {
    const auto now = std::chrono::steady_clock::now();
    const std::uint64_t session = sessions_.datagram(sender, now);
    FrameFault fault = FrameFault::None;
    const std::optional<MotionFrame> frame = decodeMotionFrame(data, size, fault);
    {
        std::lock_guard<std::mutex> lock(mutex_);
        countFor(session);
        if (frame) {
            ++state_.frames;
            state_.received = true;
            state_.last = *frame;
            state_.posture = invertTargets(model_, frame->targets);
            rates_.add(state_.frames, state_.posture, seconds(now));
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
