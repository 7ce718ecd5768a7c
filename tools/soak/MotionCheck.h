// The motion side of the soak: a loopback receiver of our own that tells every
// frame of the stream apart, and so counts frames lost, repeated or reordered.
// Frame i carries the posture command whose three positions are the base-100
// digits of i (mod 10^6); a sweep first learns which pulses each digit gives.
#pragma once

#include <atomic>
#include <cstdint>
#include <map>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "KarvelLibrary.h"
#include "support/UdpReceiver.h"

namespace karvel::soak {

struct MotionCounts {
    std::uint64_t received = 0;
    std::uint64_t unique = 0;
    std::uint64_t repeated = 0;
    std::uint64_t reordered = 0;
    std::uint64_t malformed = 0; // not 50 bytes, or pulses no digit gives
};

class MotionCheck {
public:
    MotionCheck();
    ~MotionCheck();
    MotionCheck(const MotionCheck&) = delete;
    MotionCheck& operator=(const MotionCheck&) = delete;

    int port() const { return receiver_.port(); }
    // Sends the digit sweep through the configured library and learns it;
    // false (with the reason) when the frames do not tell the digits apart.
    bool calibrate(host::KarvelLibrary& lib, std::string& why);
    // Sends stream frame `index` (0, 1, 2, ... in call order).
    static void sendFrame(host::KarvelLibrary& lib, std::uint64_t index);
    // Receives the stream on a thread of its own until stop().
    void start();
    void stop();
    MotionCounts counts() const;

private:
    void receiveLoop();
    void account(const std::vector<std::uint8_t>& frame);

    test::UdpReceiver receiver_;
    std::map<std::int32_t, int> digitOfPulses_[3]; // per axis X, Y, Z
    std::atomic<bool> running_{false};
    std::thread thread_;
    mutable std::mutex mutex_;
    MotionCounts counts_;
    std::vector<bool> seen_; // by index modulo the code range: frames further back are never decoded
    std::uint64_t highest_ = 0; // one past the highest index seen
    std::uint64_t lastCode_ = 0;
};

} // namespace karvel::soak
