#include "ModbusDevice.h"

#include <stdexcept>
#include <string>

#include "ServerSockets.h"

namespace karvel::sim {

namespace {

constexpr int kPollMs = 50;
// A partial frame followed by this much silence is dropped, as a serial
// device resynchronises on the gap between frames.
constexpr std::chrono::milliseconds kFrameGap{300};
// A client that reads no replies must not stall the device.
constexpr int kReplySendLimitMs = 1000;

} // namespace

ModbusDevice::ModbusDevice(Framing framing, DeviceMap map, const net::Ipv4Endpoint& local, SessionClock& sessions,
                           std::function<void()> onChange)
    : framing_(framing), sessions_(sessions), onChange_(std::move(onChange)), listener_(net::listenTcp(local, 8)) {
    if (listener_ == net::kInvalidSocket)
        throw std::runtime_error(std::string("cannot listen for ") + framingName(framing) + " on " +
                                 net::formatIpv4(local.octets) + ":" + std::to_string(local.port));
    net::setNonBlocking(listener_);
    port_ = net::localPort(listener_);
    memory_.coils.assign(static_cast<std::size_t>(map.coils), false);
    memory_.registers.assign(static_cast<std::size_t>(map.holdingRegisters), 0);
    thread_ = std::thread(&ModbusDevice::serve, this);
}

ModbusDevice::~ModbusDevice() {
    running_ = false;
    thread_.join();
    for (const Client& client : clients_) net::closeSocket(client.socket);
    net::closeSocket(listener_);
}

void ModbusDevice::countFor(std::uint64_t session) const {
    if (session <= session_) return;
    session_ = session;
    const int clients = counters_.clients;
    counters_ = DeviceState{};
    counters_.clients = clients;
}

DeviceState ModbusDevice::state() const {
    std::lock_guard<std::mutex> lock(mutex_);
    countFor(sessions_.number());
    DeviceState copy = counters_;
    copy.coils = memory_.coils;
    copy.registers = memory_.registers;
    return copy;
}

void ModbusDevice::serve() {
    std::vector<net::WatchedSocket> watched;
    while (running_) {
        watched.assign(1, net::WatchedSocket{listener_, true});
        for (const Client& client : clients_) watched.push_back(net::WatchedSocket{client.socket, true});
        if (net::waitForSockets(watched, kPollMs) < 0) continue;
        if (watched[0].readable) acceptClient();
        // Newly accepted clients sit past the end of `watched` and wait for the next round.
        for (std::size_t i = watched.size() - 1; i >= 1; --i) {
            if (!watched[i].readable && !watched[i].failed) continue;
            Client& client = clients_[i - 1];
            if (readFrom(client)) answer(client);
            else dropClient(i - 1);
        }
        dropStalePartials();
    }
}

void ModbusDevice::acceptClient() {
    const net::SocketHandle socket = net::acceptWaiting(listener_);
    if (socket == net::kInvalidSocket) return;
    net::setSendTimeout(socket, kReplySendLimitMs);
    const auto now = std::chrono::steady_clock::now();
    clients_.push_back(Client{socket, {}, now});
    const std::uint64_t session = sessions_.connected(now);
    {
        std::lock_guard<std::mutex> lock(mutex_);
        countFor(session);
        ++counters_.connections;
        counters_.clients = static_cast<int>(clients_.size());
    }
    onChange_();
}

void ModbusDevice::dropClient(std::size_t index) {
    net::closeSocket(clients_[index].socket);
    clients_.erase(clients_.begin() + static_cast<std::ptrdiff_t>(index));
    sessions_.disconnected(std::chrono::steady_clock::now());
    {
        std::lock_guard<std::mutex> lock(mutex_);
        counters_.clients = static_cast<int>(clients_.size());
    }
    onChange_();
}

bool ModbusDevice::readFrom(Client& client) {
    std::uint8_t buffer[512];
    const long size = net::receiveSome(client.socket, buffer, sizeof buffer);
    if (size <= 0) return false;
    client.stream.insert(client.stream.end(), buffer, buffer + size);
    client.lastByte = std::chrono::steady_clock::now();
    return true;
}

void ModbusDevice::answer(Client& client) {
    for (;;) {
        const FrameScan scan = scanFrame(framing_, client.stream, kSlave);
        if (scan.kind == FrameScan::NeedMore) return;
        std::vector<std::uint8_t> reply;
        {
            std::lock_guard<std::mutex> lock(mutex_);
            countFor(sessions_.number());
            if (scan.kind == FrameScan::Request) {
                const std::vector<std::uint8_t> pdu = requestPdu(framing_, client.stream.data(), scan.length);
                reply = replyFrame(framing_, client.stream.data(), answerRequest(pdu.data(), pdu.size(), memory_));
                ++counters_.requests;
            } else if (scan.kind == FrameScan::Ignored) {
                ++counters_.ignored;
            } else {
                ++counters_.malformed;
                counters_.lastFault = scan.reason;
            }
        }
        // The state is changed before the reply leaves, so whoever reads the reply sees it.
        if (!reply.empty()) net::sendAll(client.socket, reply.data(), reply.size());
        client.stream.erase(client.stream.begin(), client.stream.begin() + static_cast<std::ptrdiff_t>(scan.length));
        onChange_();
    }
}

void ModbusDevice::dropStalePartials() {
    const auto now = std::chrono::steady_clock::now();
    for (Client& client : clients_) {
        if (client.stream.empty() || now - client.lastByte < kFrameGap) continue;
        client.stream.clear();
        {
            std::lock_guard<std::mutex> lock(mutex_);
            countFor(sessions_.number());
            ++counters_.malformed;
            counters_.lastFault = "incomplete frame followed by silence";
        }
        onChange_();
    }
}

} // namespace karvel::sim
