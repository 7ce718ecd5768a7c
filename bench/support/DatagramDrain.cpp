#include "DatagramDrain.h"

#include <stdexcept>

namespace karvel::bench {

DatagramDrain::DatagramDrain(const FrameIndex* index) : index_(index), socket_(net::openUdpSocket()) {
    if (socket_ == net::kInvalidSocket || !net::bindLoopback(socket_, 0)) {
        net::closeSocket(socket_);
        throw std::runtime_error("cannot bind a loopback UDP socket");
    }
    net::setReceiveBufferSize(socket_, 8 * 1024 * 1024);
    port_ = net::localPort(socket_);
    thread_ = std::thread([this] { run(); });
}

DatagramDrain::~DatagramDrain() {
    stop_ = true;
    thread_.join();
    net::closeSocket(socket_);
}

Clock::time_point DatagramDrain::lastArrival() const {
    return Clock::time_point(Clock::duration(lastArrival_.load()));
}

bool DatagramDrain::waitForCount(std::uint64_t count, int timeoutMs) {
    std::unique_lock<std::mutex> lock(mutex_);
    wanted_ = count;
    const bool reached = reached_.wait_for(lock, std::chrono::milliseconds(timeoutMs),
                                           [&] { return received_.load() >= count; });
    wanted_ = ~std::uint64_t{0};
    return reached;
}

void DatagramDrain::run() {
    std::uint8_t buffer[128];
    while (!stop_) {
        const long size = net::receiveFrom(socket_, buffer, sizeof buffer, 20, nullptr);
        if (size <= 0) continue;
        check(buffer, size);
        lastArrival_ = Clock::now().time_since_epoch().count();
        const std::uint64_t count = received_.fetch_add(1) + 1;
        if (count >= wanted_.load()) {
            std::lock_guard<std::mutex> lock(mutex_);
            reached_.notify_all();
        }
    }
}

void DatagramDrain::check(const std::uint8_t* bytes, long size) {
    if (index_ == nullptr) return;
    const auto found = index_->find(std::string(reinterpret_cast<const char*>(bytes), static_cast<std::size_t>(size)));
    if (found == index_->end()) {
        ++unknown_;
        return;
    }
    // A jump forward is frames that gave way to newer ones; only a step back is out of order.
    const int cycle = static_cast<int>(index_->size());
    if (expectedNext_ >= 0 && (found->second - expectedNext_ + cycle) % cycle >= cycle / 2) ++outOfOrder_;
    expectedNext_ = (found->second + 1) % cycle;
}

} // namespace karvel::bench
