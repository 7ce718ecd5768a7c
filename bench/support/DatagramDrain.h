// A loopback UDP receiver (port chosen by the system) whose thread reads every
// datagram as it comes, counts it, notes its arrival time and, given a frame
// index, checks that frames arrive in the order they were sent.
#pragma once

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <string>
#include <thread>
#include <unordered_map>

#include "Stats.h"
#include "platform/SocketServices.h"

namespace karvel::bench {

// Frame bytes to their position in a cycle of distinct postures.
using FrameIndex = std::unordered_map<std::string, int>;

class DatagramDrain {
public:
    explicit DatagramDrain(const FrameIndex* index = nullptr);
    ~DatagramDrain();
    DatagramDrain(const DatagramDrain&) = delete;
    DatagramDrain& operator=(const DatagramDrain&) = delete;

    int port() const { return port_; }
    std::uint64_t received() const { return received_.load(); }
    std::uint64_t outOfOrder() const { return outOfOrder_.load(); }
    std::uint64_t unknown() const { return unknown_.load(); }
    Clock::time_point lastArrival() const;
    // Waits until `count` datagrams have come in all; false after the time-out.
    bool waitForCount(std::uint64_t count, int timeoutMs);

private:
    void run();
    void check(const std::uint8_t* bytes, long size);

    const FrameIndex* index_;
    net::SocketHandle socket_;
    int port_ = 0;
    std::atomic<bool> stop_{false};
    std::atomic<std::uint64_t> received_{0};
    std::atomic<std::uint64_t> outOfOrder_{0};
    std::atomic<std::uint64_t> unknown_{0};
    std::atomic<Clock::rep> lastArrival_{0};
    std::atomic<std::uint64_t> wanted_{~std::uint64_t{0}};
    int expectedNext_ = -1;
    std::mutex mutex_;
    std::condition_variable reached_;
    std::thread thread_;
};

} // namespace karvel::bench
