#include "ModbusTestServer.h"

#include <algorithm>
#include <stdexcept>

#include "ModbusFraming.h"
#include "support/SocketLibrary.h"

namespace karvel::test {
namespace {

constexpr int kPollMs = 50;
// A late reply waits for the client to give up, but not for ever.
constexpr int kLateReplyCapMs = 10000;
// A flood ends once the client has stopped reading for this long.
constexpr int kFloodSendTimeoutMs = 200;
constexpr std::size_t kFloodChunk = 64 * 1024;

std::uint16_t word(const Bytes& bytes, std::size_t at) {
    return static_cast<std::uint16_t>((bytes[at] << 8) | bytes[at + 1]);
}

void sendBytes(net::SocketHandle connection, const Bytes& bytes, std::size_t count) {
    net::sendAll(connection, bytes.data(), count);
}

// Whether an RTU frame's last two bytes (low byte first) are the CRC of the rest.
bool crcHolds(const Bytes& frame) {
    const std::size_t body = frame.size() - 2;
    return modbus::crc16(frame.data(), body) == (frame[body] | frame[body + 1] << 8);
}

net::SocketHandle openTestTcpSocket() {
    useSocketLibrary();
    return net::openTcpSocket();
}

} // namespace

ModbusTestServer::ModbusTestServer(Framing framing, int port) : framing_(framing), listener_(openTestTcpSocket()) {
    if (listener_ != net::kInvalidSocket) net::allowListenerRebind(listener_);
    if (listener_ == net::kInvalidSocket || !net::bindLoopback(listener_, static_cast<std::uint16_t>(port)) ||
        !net::listenOn(listener_, 4))
        throw std::runtime_error("cannot open the Modbus test server");
    port_ = net::localPort(listener_);
    thread_ = std::thread(&ModbusTestServer::serve, this);
}

ModbusTestServer::~ModbusTestServer() {
    stop_ = true;
    changed_.notify_all();
    thread_.join();
    net::closeSocket(listener_);
}

void ModbusTestServer::misbehave(Behaviour behaviour, int count) {
    std::lock_guard<std::mutex> lock(mutex_);
    behaviour_ = behaviour;
    misbehaviours_ = count;
}

ModbusTestServer::Behaviour ModbusTestServer::nextBehaviour() {
    std::lock_guard<std::mutex> lock(mutex_);
    if (misbehaviours_ <= 0) return Behaviour::Normal;
    --misbehaviours_;
    if (behaviour_ != Behaviour::Normal) ++met_[behaviour_];
    return behaviour_;
}

std::map<ModbusTestServer::Behaviour, int> ModbusTestServer::misbehavioursMet() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return met_;
}

std::vector<Bytes> ModbusTestServer::requests() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return requests_;
}

std::size_t ModbusTestServer::requestCount() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return requests_.size();
}

int ModbusTestServer::openConnections() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return connections_ - closed_;
}

int ModbusTestServer::connectionsAccepted() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return connections_;
}

bool ModbusTestServer::coil(int address) const {
    std::lock_guard<std::mutex> lock(mutex_);
    return coils_[address];
}

std::vector<bool> ModbusTestServer::coils(int first, int count) const {
    std::lock_guard<std::mutex> lock(mutex_);
    return std::vector<bool>(coils_ + first, coils_ + first + count);
}

std::uint16_t ModbusTestServer::holdingRegister(int address) const {
    std::lock_guard<std::mutex> lock(mutex_);
    return registers_[address];
}

bool ModbusTestServer::waitForRequests(std::size_t count, int timeoutMs) const {
    std::unique_lock<std::mutex> lock(mutex_);
    return changed_.wait_for(lock, std::chrono::milliseconds(timeoutMs), [&] { return requests_.size() >= count; });
}

bool ModbusTestServer::waitUntil(const std::function<bool()>& condition, int timeoutMs) const {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    for (;;) {
        std::uint64_t seen;
        {
            std::lock_guard<std::mutex> lock(mutex_);
            seen = changes_;
        }
        if (condition()) return true;
        bool changed;
        {
            std::unique_lock<std::mutex> lock(mutex_);
            changed = changed_.wait_until(lock, deadline, [&] { return changes_ != seen; });
        }
        if (!changed) return condition();
    }
}

bool ModbusTestServer::pauseUnlessStopped(int milliseconds) {
    std::unique_lock<std::mutex> lock(mutex_);
    return !changed_.wait_for(lock, std::chrono::milliseconds(milliseconds), [this] { return stop_.load(); });
}

void ModbusTestServer::serve() {
    while (!stop_) {
        const net::SocketHandle connection = net::acceptConnection(listener_, kPollMs);
        if (connection == net::kInvalidSocket) continue;
        {
            std::lock_guard<std::mutex> lock(mutex_);
            ++connections_;
            ++changes_;
        }
        changed_.notify_all();
        net::setSendTimeout(connection, kFloodSendTimeoutMs);
        serveConnection(connection);
        net::closeSocket(connection);
        {
            std::lock_guard<std::mutex> lock(mutex_);
            ++closed_;
            ++changes_;
        }
        changed_.notify_all();
    }
}

bool ModbusTestServer::readExactly(net::SocketHandle connection, std::uint8_t* buffer, std::size_t length) {
    std::size_t done = 0;
    while (done < length) {
        if (stop_) return false;
        const int ready = net::waitReadable(connection, kPollMs);
        if (ready < 0) return false;
        if (ready == 0) continue;
        const long received = net::receiveSome(connection, buffer + done, length - done);
        if (received <= 0) return false;
        done += static_cast<std::size_t>(received);
    }
    return true;
}

bool ModbusTestServer::readRequest(net::SocketHandle connection, Bytes& request) {
    if (framing_ == Framing::Mbap) {
        request.resize(7);
        if (!readExactly(connection, request.data(), 7)) return false;
        const std::size_t pduLength = static_cast<std::size_t>(word(request, 4)) - 1;
        request.resize(7 + pduLength);
        return readExactly(connection, request.data() + 7, pduLength);
    }
    request.resize(2);
    if (!readExactly(connection, request.data(), 2)) return false;
    std::size_t rest = 6; // 0x05 and 0x06: address, value, CRC
    if (request[1] == modbus::kWriteMultipleCoils) {
        request.resize(7);
        if (!readExactly(connection, request.data() + 2, 5)) return false;
        rest = std::size_t{request[6]} + 2;
    } else if (request[1] != modbus::kWriteSingleCoil && request[1] != modbus::kWriteSingleRegister) {
        return false;
    }
    const std::size_t at = request.size();
    request.resize(at + rest);
    return readExactly(connection, request.data() + at, rest);
}

void ModbusTestServer::serveConnection(net::SocketHandle connection) {
    Bytes request;
    while (readRequest(connection, request)) {
        const Behaviour behaviour = nextBehaviour();
        const bool rtu = framing_ == Framing::Rtu;
        if (rtu && !crcHolds(request)) return; // a real device drops a damaged frame
        const Bytes pdu(request.begin() + (rtu ? 1 : 7), request.end() - (rtu ? 2 : 0));
        Bytes replyPdu = handle(pdu, behaviour);
        {
            std::lock_guard<std::mutex> lock(mutex_);
            requests_.push_back(request);
            ++changes_;
        }
        changed_.notify_all();
        const Bytes reply = frame(request, std::move(replyPdu), behaviour);
        if (replyDelayMs_ > 0 && !pauseUnlessStopped(replyDelayMs_)) return;
        // A replaying device sends its last real reply again, as often as it is asked.
        const Bytes stale = lastReply_;
        if (behaviour != Behaviour::StaleReply) lastReply_ = reply;
        switch (behaviour) {
        case Behaviour::Silent:
            break;
        case Behaviour::LateReply:
            // After the client's time-out however slowly either side runs: the
            // client closes the connection when it gives up.
            idleFor(connection, kLateReplyCapMs);
            sendBytes(connection, reply, reply.size());
            return;
        case Behaviour::Trickle:
            trickle(connection, reply);
            return;
        case Behaviour::MaxLengthTrickle: {
            Bytes announced = reply;
            announced[4] = 0x01; // length 257: the unit identifier and 256 data bytes
            announced[5] = 0x01;
            announced.resize(7 + 256, 0);
            sendBytes(connection, announced, 7);
            trickle(connection, Bytes(announced.begin() + 7, announced.end()));
            return;
        }
        case Behaviour::CloseMidReply:
            sendBytes(connection, reply, reply.size() / 2);
            return;
        case Behaviour::Truncated:
            sendBytes(connection, reply, reply.size() / 2);
            break;
        case Behaviour::Reset:
            net::resetOnClose(connection);
            return;
        case Behaviour::StaleReply:
            sendBytes(connection, stale, stale.size());
            break;
        case Behaviour::Garbage:
            flood(connection, Bytes{0xA5});
            break;
        case Behaviour::Flood:
            sendBytes(connection, reply, reply.size());
            flood(connection, reply);
            break;
        case Behaviour::OverLong: {
            Bytes longer = reply;
            longer.insert(longer.end(), {0xDE, 0xAD, 0xBE, 0xEF});
            sendBytes(connection, longer, longer.size());
            break;
        }
        default:
            sendBytes(connection, reply, reply.size());
        }
    }
}

bool ModbusTestServer::idleFor(net::SocketHandle connection, int milliseconds) {
    // In short steps: a close shows at once, and the next connection is served soon after.
    for (int waited = 0; waited < milliseconds; waited += kPollMs)
        if (stop_ || net::waitReadable(connection, std::min(kPollMs, milliseconds - waited)) != 0) return false;
    return true;
}

void ModbusTestServer::trickle(net::SocketHandle connection, const Bytes& bytes) {
    for (std::size_t at = 0; at < bytes.size(); ++at) {
        if (at > 0 && !idleFor(connection, kTrickleIntervalMs)) return;
        if (!net::sendAll(connection, bytes.data() + at, 1)) return;
    }
}

void ModbusTestServer::flood(net::SocketHandle connection, const Bytes& pattern) {
    Bytes chunk;
    while (chunk.size() + pattern.size() <= kFloodChunk) chunk.insert(chunk.end(), pattern.begin(), pattern.end());
    while (!stop_ && net::sendAll(connection, chunk.data(), chunk.size())) {
    }
}

Bytes ModbusTestServer::handle(const Bytes& pdu, Behaviour behaviour) {
    const std::uint8_t function = pdu.at(0);
    const std::uint16_t address = word(pdu, 1);
    const std::uint16_t value = word(pdu, 3);
    const Bytes echo(pdu.begin(), pdu.begin() + 5);
    if (behaviour == Behaviour::Exception) return {static_cast<std::uint8_t>(function | 0x80), 0x04};
    if (behaviour == Behaviour::IllegalAddress) return {static_cast<std::uint8_t>(function | 0x80), 0x02};
    std::lock_guard<std::mutex> lock(mutex_);
    switch (function) {
    case modbus::kWriteSingleCoil:
        if (address >= kCoils) return {static_cast<std::uint8_t>(function | 0x80), 0x02};
        coils_[address] = value == 0xFF00;
        return echo;
    case modbus::kWriteSingleRegister:
        if (address >= kRegisters) return {static_cast<std::uint8_t>(function | 0x80), 0x02};
        registers_[address] = value;
        return echo;
    case modbus::kWriteMultipleCoils:
        if (address + value > kCoils) return {static_cast<std::uint8_t>(function | 0x80), 0x02};
        for (int i = 0; i < value; ++i) coils_[address + i] = (pdu.at(6 + static_cast<std::size_t>(i / 8)) >> (i % 8)) & 1;
        return echo;
    default:
        return {static_cast<std::uint8_t>(function | 0x80), 0x01};
    }
}

Bytes ModbusTestServer::frame(const Bytes& request, Bytes replyPdu, Behaviour behaviour) const {
    if (behaviour == Behaviour::WrongFunction)
        replyPdu[0] = replyPdu[0] == modbus::kWriteSingleRegister ? modbus::kWriteSingleCoil : modbus::kWriteSingleRegister;
    if (behaviour == Behaviour::UnknownFunction) replyPdu[0] = 0x2B;
    if (behaviour == Behaviour::WrongEcho && replyPdu.size() >= 3) ++replyPdu[2];
    if (behaviour == Behaviour::ShortReply) replyPdu.resize(3);
    const std::uint8_t unit = behaviour == Behaviour::WrongUnit ? 7 : modbus::kSlaveAddress;
    if (framing_ == Framing::Mbap) {
        auto length = static_cast<std::uint16_t>(replyPdu.size() + 1);
        if (behaviour == Behaviour::BadLength) length = 300;
        if (behaviour == Behaviour::ShortLength) {
            length = 1;
            replyPdu.clear();
        }
        const std::uint8_t protocol = behaviour == Behaviour::WrongProtocol ? 1 : 0;
        Bytes reply{request[0], request[1], 0, protocol, static_cast<std::uint8_t>(length >> 8),
                    static_cast<std::uint8_t>(length & 0xFF), unit};
        reply.insert(reply.end(), replyPdu.begin(), replyPdu.end());
        return reply;
    }
    Bytes reply{unit};
    reply.insert(reply.end(), replyPdu.begin(), replyPdu.end());
    const std::uint16_t crc = modbus::crc16(reply.data(), reply.size());
    reply.push_back(static_cast<std::uint8_t>(crc & 0xFF));
    reply.push_back(static_cast<std::uint8_t>(crc >> 8));
    if (behaviour == Behaviour::BadCrc) std::swap(reply[reply.size() - 1], reply[reply.size() - 2]);
    return reply;
}

int unusedTcpPort() {
    const net::SocketHandle probe = openTestTcpSocket();
    net::bindLoopback(probe, 0);
    const int port = net::localPort(probe);
    net::closeSocket(probe);
    return port;
}

} // namespace karvel::test
