#include "UDPTransportLayer.h"

#include <system_error>

#include "Deadline.h"
#include "Ipv4Address.h"
#include "LogSink.h"

namespace karvel {
namespace {

constexpr std::int64_t kSuccessLineIntervalNs = 1000000000;
constexpr std::int64_t kDroppedLineIntervalNs = 1000000000;

constexpr std::uint8_t kFrameHeader[20] = {0x55, 0xAA, 0x00, 0x00, 0x14, 0x01, 0x00, 0x01, 0xFF, 0xFF,
                                           0xFF, 0xFF, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x14};
constexpr std::uint8_t kFrameEnd[6] = {0x12, 0x34, 0x56, 0x78, 0xAB, 0xCD};
constexpr std::size_t kPlayTimeOffset = 16;
constexpr std::size_t kAxisOffset = 20;
constexpr std::size_t kEndOffset = 44;

bool validPort(int port) { return port >= 1 && port <= 65535; }

bool makeEndpoint(const std::string& ip, int port, net::Ipv4Endpoint& endpoint) {
    endpoint.port = static_cast<std::uint16_t>(port);
    return net::parseIpv4(ip.c_str(), endpoint.octets);
}

void writeField(Frame& frame, std::size_t offset, std::int32_t value) {
    const auto bits = static_cast<std::uint32_t>(value);
    frame[offset] = static_cast<std::uint8_t>(bits >> 24);
    frame[offset + 1] = static_cast<std::uint8_t>(bits >> 16);
    frame[offset + 2] = static_cast<std::uint8_t>(bits >> 8);
    frame[offset + 3] = static_cast<std::uint8_t>(bits);
}

} // namespace

UDPTransportLayer::~UDPTransportLayer() { close(); }

Frame UDPTransportLayer::buildFrame(std::int32_t x, std::int32_t y, std::int32_t z, std::int32_t u) {
    Frame frame(kFrameSize, 0);
    std::copy(std::begin(kFrameHeader), std::end(kFrameHeader), frame.begin());
    std::copy(std::begin(kFrameEnd), std::end(kFrameEnd), frame.begin() + kEndOffset);
    writeField(frame, kAxisOffset, x);
    writeField(frame, kAxisOffset + 4, y);
    writeField(frame, kAxisOffset + 8, z);
    writeField(frame, kAxisOffset + 12, u);
    return frame;
}

std::int32_t UDPTransportLayer::readField(const Frame& frame, std::size_t offset) {
    const std::uint32_t bits = (std::uint32_t{frame[offset]} << 24) | (std::uint32_t{frame[offset + 1]} << 16) |
                               (std::uint32_t{frame[offset + 2]} << 8) | std::uint32_t{frame[offset + 3]};
    return static_cast<std::int32_t>(bits);
}

std::string UDPTransportLayer::toHex(const std::vector<std::uint8_t>& bytes) {
    static constexpr char kDigits[] = "0123456789ABCDEF";
    std::string text;
    text.reserve(bytes.size() * 3);
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        if (i != 0) text.push_back(' ');
        text.push_back(kDigits[bytes[i] >> 4]);
        text.push_back(kDigits[bytes[i] & 0x0F]);
    }
    return text;
}

bool UDPTransportLayer::initialize(const std::string& ip, int port) {
    close();
    if (!validPort(port)) {
        logLine(kLogError, "[Ridova][ERROR] UDPTransportLayer invalid destination port: %d", port);
        return false;
    }
    logLine(kLogInfo, "[Ridova][INFO] UDPTransportLayer::initialize dst=%s:%d sourcePort=%d", ip.c_str(), port,
            int{kFixedSourcePort});
    transportSocket = net::openUdpSocket();
    if (transportSocket == net::kInvalidSocket) {
        logLine(kLogError, "[Ridova][ERROR] UDPTransportLayer socket creation failed: %d", net::lastSocketError());
        return false;
    }
    const auto closeSocket = [this] {
        net::closeSocket(transportSocket);
        transportSocket = net::kInvalidSocket;
    };
    net::Ipv4Endpoint destination;
    if (!makeEndpoint(ip, port, destination)) {
        logLine(kLogError, "[Ridova][ERROR] UDPTransportLayer invalid destination IP: %s", ip.c_str());
        closeSocket();
        return false;
    }
    if (const char* reason = unusableAddress(destination.octets)) {
        logLine(kLogError, "[Ridova][ERROR] UDPTransportLayer unusable destination IP: %s (%s)", ip.c_str(), reason);
        closeSocket();
        return false;
    }
    {
        std::lock_guard<std::mutex> lock(targetMutex);
        target = destination;
    }
    if (!net::bindAnyAddress(transportSocket, kFixedSourcePort)) {
        logLine(kLogError, "[Ridova][ERROR] UDPTransportLayer bind failed on fixed source port %d: %d",
                int{kFixedSourcePort}, net::lastSocketError());
        closeSocket();
        return false;
    }
    initialized.exchange(true);
    running.exchange(true);
    try {
        worker.start([this] { workerLoop(); });
    } catch (const std::system_error& error) {
        // Without a worker nothing would ever be sent: report the seat as not set up.
        initialized.exchange(false);
        running.exchange(false);
        logLine(kLogError, "[Ridova][ERROR] UDPTransportLayer worker thread could not be started: %s", error.what());
        closeSocket();
        return false;
    }
    return true;
}

bool UDPTransportLayer::setTarget(const std::string& ip, int port) {
    if (!validPort(port)) {
        logLine(kLogError, "[Ridova][ERROR] UDPTransportLayer setTarget invalid port: %d", port);
        return false;
    }
    net::Ipv4Endpoint destination;
    if (!makeEndpoint(ip, port, destination)) {
        logLine(kLogError, "[Ridova][ERROR] UDPTransportLayer setTarget invalid IP: %s", ip.c_str());
        return false;
    }
    if (const char* reason = unusableAddress(destination.octets)) {
        logLine(kLogError, "[Ridova][ERROR] UDPTransportLayer setTarget unusable IP: %s (%s)", ip.c_str(), reason);
        return false;
    }
    {
        std::lock_guard<std::mutex> queueLock(queueMutex);
        sendQueue.clear(); // meant for the old destination
        std::lock_guard<std::mutex> targetLock(targetMutex);
        if (!initialized.load()) return false;
        target = destination;
    }
    logLine(kLogInfo, "[Ridova][INFO] UDPTransportLayer target switched to %s:%d", ip.c_str(), port);
    return true;
}

void UDPTransportLayer::sendAxes(std::int32_t x, std::int32_t y, std::int32_t z, std::int32_t u) {
    if (!initialized.load()) return;
    {
        std::lock_guard<std::mutex> lock(queueMutex);
        sendQueue.push(AxisTargets{x, y, z, u});
    }
    queueCondition.notify_one();
}

void UDPTransportLayer::close() {
    logLine(kLogDebug, "[Ridova][DEBUG] UDPTransportLayer::close called");
    initialized.exchange(false);
    {
        // Cleared under the queue lock so that the worker cannot miss the wake-up
        // between its test of the flag and its wait.
        std::lock_guard<std::mutex> lock(queueMutex);
        running.exchange(false);
    }
    queueCondition.notify_all();
    worker.join();
    {
        std::lock_guard<std::mutex> lock(queueMutex);
        sendQueue.clear();
    }
    if (transportSocket != net::kInvalidSocket) {
        logLine(kLogDebug, "[Ridova][DEBUG] UDPTransportLayer closing socket");
        net::closeSocket(transportSocket);
        transportSocket = net::kInvalidSocket;
    }
}

void UDPTransportLayer::workerLoop() {
    logLine(kLogDebug, "[Ridova][DEBUG] UDPTransportLayer worker thread started");
    std::int64_t lastSuccessLineNs = steadyNowNs();
    std::uint64_t successCount = 0;
    std::uint64_t droppedUnreported = 0;
    std::uint64_t droppedTotal = 0;
    std::int64_t lastDroppedLineNs = 0;
    const auto reportDue = [&](bool final) {
        if (droppedUnreported == 0) return;
        const std::int64_t now = steadyNowNs();
        const bool first = droppedTotal == droppedUnreported;
        if (!final && !first && now - lastDroppedLineNs < kDroppedLineIntervalNs) return;
        lastDroppedLineNs = now;
        reportDropped(droppedUnreported, droppedTotal);
        droppedUnreported = 0;
    };
    // Frames queued before close are sent even when the worker only starts
    // after close was called: the queue is drained before the flag is tested.
    for (bool stop = false; !stop;) {
        std::unique_lock<std::mutex> lock(queueMutex);
        queueCondition.wait(lock, [this] { return !sendQueue.empty() || !running.load(); });
        stop = !running.load();
        while (!sendQueue.empty()) {
            const AxisTargets next = sendQueue.pop();
            // A drop always comes with a newer frame, so the drain sees every one.
            const std::uint64_t dropped = sendQueue.takeDropped();
            droppedUnreported += dropped;
            droppedTotal += dropped;
            net::Ipv4Endpoint destination;
            {
                std::lock_guard<std::mutex> targetLock(targetMutex);
                destination = target;
            }
            lock.unlock();
            sendFrame(buildFrame(next.x, next.y, next.z, next.u), destination, successCount, lastSuccessLineNs);
            reportDue(false);
            lock.lock();
        }
    }
    reportDue(true);
    logLine(kLogDebug, "[Ridova][DEBUG] UDPTransportLayer worker thread exiting");
}

void UDPTransportLayer::reportDropped(std::uint64_t count, std::uint64_t total) {
    logLine(kLogError,
            "[Ridova][ERROR] UDPTransportLayer fell behind: %llu stale frames dropped, newest sent (%llu in all)",
            static_cast<unsigned long long>(count), static_cast<unsigned long long>(total));
}

void UDPTransportLayer::sendFrame(const Frame& frame, const net::Ipv4Endpoint& destination,
                                  std::uint64_t& successCount, std::int64_t& lastSuccessLineNs) {
    if (transportSocket == net::kInvalidSocket) return;
    const long sent = net::sendTo(transportSocket, frame.data(), frame.size(), destination);
    if (sent < 0) {
        logLine(kLogError, "[Ridova][ERROR] UDPTransportLayer sendto error: %d", net::lastSocketError());
        return;
    }
    if (static_cast<std::size_t>(sent) != frame.size()) {
        logLine(kLogError, "[Ridova][ERROR] [UDP TX] incomplete send: %d/%d bytes", static_cast<int>(sent),
                static_cast<int>(frame.size()));
        return;
    }
    ++successCount;
    const std::int64_t now = steadyNowNs();
    if (successCount != 1 && now - lastSuccessLineNs < kSuccessLineIntervalNs) return;
    lastSuccessLineNs = now;
    logLine(kLogInfo,
            "[Ridova][INFO] [UDP TX] socket-send-ok (not device ACK) #%llu dst=%s:%u bytes=%d playTime=%d X=%d "
            "Y=%d Z=%d U=%d V=%d W=%d | HEX=%s",
            static_cast<unsigned long long>(successCount), net::formatIpv4(destination.octets).c_str(),
            static_cast<unsigned>(destination.port), static_cast<int>(sent), readField(frame, kPlayTimeOffset),
            readField(frame, kAxisOffset), readField(frame, kAxisOffset + 4), readField(frame, kAxisOffset + 8),
            readField(frame, kAxisOffset + 12), readField(frame, kAxisOffset + 16), readField(frame, kAxisOffset + 20),
            toHex(frame).c_str());
}

} // namespace karvel
