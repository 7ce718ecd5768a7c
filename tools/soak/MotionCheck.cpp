#include "MotionCheck.h"

#include <optional>
#include <utility>

namespace karvel::soak {
namespace {

constexpr int kDigits = 100;
constexpr std::uint64_t kCodes = 1000000; // three base-100 digits
constexpr std::size_t kFrameSize = 50;
constexpr std::size_t kAxisOffset = 20; // X, Y, Z follow the header and the play time

std::int32_t bigEndian(const std::uint8_t* bytes) {
    return static_cast<std::int32_t>(std::uint32_t{bytes[0]} << 24 | std::uint32_t{bytes[1]} << 16 |
                                     std::uint32_t{bytes[2]} << 8 | bytes[3]);
}

float position(int digit) { return static_cast<float>(digit) / kDigits; }

} // namespace

MotionCheck::MotionCheck() : seen_(kCodes) {}

MotionCheck::~MotionCheck() { stop(); }

bool MotionCheck::calibrate(host::KarvelLibrary& lib, std::string& why) {
    // One frame at a time: a burst longer than the library's short queue would
    // have its older frames give way to newer ones.
    std::vector<test::Datagram> sweep;
    for (int digit = 0; digit < kDigits; ++digit) {
        lib.SendPostureCommand(position(digit), position(digit), position(digit), 0);
        std::optional<test::Datagram> frame = receiver_.receive();
        if (!frame) break;
        sweep.push_back(std::move(*frame));
    }
    for (int digit = 0; digit < kDigits; ++digit) {
        const auto at = static_cast<std::size_t>(digit);
        if (at >= sweep.size() || sweep[at].bytes.size() != kFrameSize) {
            why = "sweep frame " + std::to_string(digit) + " did not arrive whole";
            return false;
        }
        for (int axis = 0; axis < 3; ++axis)
            digitOfPulses_[axis][bigEndian(sweep[at].bytes.data() + kAxisOffset + 4 * static_cast<std::size_t>(axis))] =
                digit;
    }
    for (const auto& axis : digitOfPulses_)
        if (axis.size() != kDigits) {
            why = "two positions of the sweep give the same pulses";
            return false;
        }
    return true;
}

void MotionCheck::sendFrame(host::KarvelLibrary& lib, std::uint64_t index) {
    const auto code = static_cast<int>(index % kCodes);
    lib.SendPostureCommand(position(code % kDigits), position(code / kDigits % kDigits), position(code / (kDigits * kDigits)),
                           0);
}

void MotionCheck::start() {
    running_ = true;
    thread_ = std::thread(&MotionCheck::receiveLoop, this);
}

void MotionCheck::stop() {
    running_ = false;
    if (thread_.joinable()) thread_.join();
}

MotionCounts MotionCheck::counts() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return counts_;
}

void MotionCheck::receiveLoop() {
    while (running_)
        if (const std::optional<test::Datagram> datagram = receiver_.receive(100)) account(datagram->bytes);
}

void MotionCheck::account(const std::vector<std::uint8_t>& frame) {
    std::lock_guard<std::mutex> lock(mutex_);
    ++counts_.received;
    std::uint64_t code = 0;
    std::uint64_t weight = 1;
    for (int axis = 0; axis < 3; ++axis, weight *= kDigits) {
        const auto found =
            frame.size() == kFrameSize
                ? digitOfPulses_[axis].find(bigEndian(frame.data() + kAxisOffset + 4 * static_cast<std::size_t>(axis)))
                : digitOfPulses_[axis].end();
        if (found == digitOfPulses_[axis].end()) {
            ++counts_.malformed;
            return;
        }
        code += static_cast<std::uint64_t>(found->second) * weight;
    }
    // The code repeats every 10^6 frames: the index is the one nearest above the last.
    const std::uint64_t ahead = (code + kCodes - lastCode_) % kCodes;
    const std::uint64_t last = highest_ == 0 ? 0 : highest_ - 1;
    if (highest_ != 0 && ahead >= kCodes / 2 && last < kCodes - ahead) {
        ++counts_.malformed; // from before the stream began
        return;
    }
    const std::uint64_t index = highest_ == 0 ? code
                                : ahead < kCodes / 2 ? last + ahead
                                                     : last - (kCodes - ahead);
    // Moving ahead frees the slots of the frames a whole code range back.
    for (std::uint64_t freed = highest_; freed <= index; ++freed) seen_[freed % kCodes] = false;
    if (seen_[index % kCodes]) {
        ++counts_.repeated;
        return;
    }
    seen_[index % kCodes] = true;
    ++counts_.unique;
    if (index + 1 < highest_) {
        ++counts_.reordered;
    } else {
        highest_ = index + 1;
        lastCode_ = code;
    }
}

} // namespace karvel::soak
