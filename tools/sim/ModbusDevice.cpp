#include "ModbusDevice.h"

#include <modbus.h>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/time.h>
#include <unistd.h>

#include <stdexcept>
#include <string>

namespace karvel::sim {

namespace {

constexpr int kPollMs = 50;
// A partial frame followed by this much silence is dropped, as a serial
// device resynchronises on the gap between frames.
constexpr std::chrono::milliseconds kFrameGap{300};

// libmodbus only builds and sends replies here (framing is ours), so the RTU
// context never opens its serial device: it writes to the client socket.
modbus_t* newContext(Framing framing) {
    modbus_t* context = framing == Framing::ModbusTcp ? modbus_new_tcp("127.0.0.1", 0)
                                                      : modbus_new_rtu("/dev/null", 9600, 'N', 8, 1);
    if (context == nullptr) throw std::runtime_error("cannot create the Modbus context");
    modbus_set_slave(context, ModbusDevice::kSlave);
    return context;
}

int listenLoopback(std::uint16_t port) {
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0) return -1;
    const int yes = 1;
    ::setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &yes, sizeof yes);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = htons(port);
    if (::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 || ::listen(fd, 8) != 0) {
        ::close(fd);
        return -1;
    }
    return fd;
}

int boundPort(int fd) {
    sockaddr_in address{};
    socklen_t size = sizeof address;
    if (::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &size) != 0) return 0;
    return ntohs(address.sin_port);
}

} // namespace

void ModbusDevice::ContextFree::operator()(_modbus* context) const { modbus_free(context); }
void ModbusDevice::MappingFree::operator()(_modbus_mapping_t* mapping) const { modbus_mapping_free(mapping); }

ModbusDevice::ModbusDevice(Framing framing, DeviceMap map, std::uint16_t port, std::function<void()> onChange)
    : framing_(framing), onChange_(std::move(onChange)), context_(newContext(framing)),
      mapping_(modbus_mapping_new(map.coils, 0, map.holdingRegisters, 0)), listener_(listenLoopback(port)) {
    if (!mapping_) throw std::runtime_error("cannot create the Modbus map");
    if (listener_ < 0)
        throw std::runtime_error(std::string("cannot listen for ") + framingName(framing) + " on 127.0.0.1:" +
                                 std::to_string(port));
    port_ = boundPort(listener_);
    thread_ = std::thread(&ModbusDevice::serve, this);
}

ModbusDevice::~ModbusDevice() {
    running_ = false;
    thread_.join();
    for (const Client& client : clients_) ::close(client.fd);
    ::close(listener_);
}

DeviceState ModbusDevice::state() const {
    std::lock_guard<std::mutex> lock(mutex_);
    DeviceState copy = counters_;
    copy.coils.assign(mapping_->tab_bits, mapping_->tab_bits + mapping_->nb_bits);
    copy.registers.assign(mapping_->tab_registers, mapping_->tab_registers + mapping_->nb_registers);
    return copy;
}

void ModbusDevice::serve() {
    std::vector<pollfd> watched;
    while (running_) {
        watched.assign(1, pollfd{listener_, POLLIN, 0});
        for (const Client& client : clients_) watched.push_back(pollfd{client.fd, POLLIN, 0});
        if (::poll(watched.data(), watched.size(), kPollMs) < 0) continue;
        if (watched[0].revents & POLLIN) acceptClient();
        // Newly accepted clients sit past the end of `watched` and wait for the next round.
        for (std::size_t i = watched.size() - 1; i >= 1; --i) {
            if (!(watched[i].revents & (POLLIN | POLLHUP | POLLERR))) continue;
            Client& client = clients_[i - 1];
            if (readFrom(client)) {
                answer(client);
                continue;
            }
            ::close(client.fd);
            clients_.erase(clients_.begin() + static_cast<std::ptrdiff_t>(i - 1));
            {
                std::lock_guard<std::mutex> lock(mutex_);
                counters_.clients = static_cast<int>(clients_.size());
            }
            onChange_();
        }
        dropStalePartials();
    }
}

void ModbusDevice::acceptClient() {
    const int fd = ::accept4(listener_, nullptr, nullptr, SOCK_CLOEXEC);
    if (fd < 0) return;
    const timeval sendLimit{1, 0}; // a client that reads no replies must not stall the device
    ::setsockopt(fd, SOL_SOCKET, SO_SNDTIMEO, &sendLimit, sizeof sendLimit);
    clients_.push_back(Client{fd, {}, std::chrono::steady_clock::now()});
    {
        std::lock_guard<std::mutex> lock(mutex_);
        ++counters_.connections;
        counters_.clients = static_cast<int>(clients_.size());
    }
    onChange_();
}

bool ModbusDevice::readFrom(Client& client) {
    std::uint8_t buffer[512];
    const ssize_t size = ::recv(client.fd, buffer, sizeof buffer, 0);
    if (size <= 0) return false;
    client.stream.insert(client.stream.end(), buffer, buffer + size);
    client.lastByte = std::chrono::steady_clock::now();
    return true;
}

void ModbusDevice::answer(Client& client) {
    for (;;) {
        const FrameScan scan = scanFrame(framing_, client.stream, kSlave);
        if (scan.kind == FrameScan::NeedMore) return;
        {
            std::lock_guard<std::mutex> lock(mutex_);
            if (scan.kind == FrameScan::Request) {
                modbus_set_socket(context_.get(), client.fd);
                modbus_reply(context_.get(), client.stream.data(), static_cast<int>(scan.length), mapping_.get());
                ++counters_.requests;
            } else if (scan.kind == FrameScan::Ignored) {
                ++counters_.ignored;
            } else {
                ++counters_.malformed;
                counters_.lastFault = scan.reason;
            }
        }
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
            ++counters_.malformed;
            counters_.lastFault = "incomplete frame followed by silence";
        }
        onChange_();
    }
}

} // namespace karvel::sim
