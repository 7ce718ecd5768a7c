// Each framing's reply reader takes whatever a device sends over the
// connection. Fed through a connected socket pair, it must read exactly one
// well-formed frame, consume nothing past it, and never wait once the device
// has stopped sending; the framing's check must then accept exactly the reply
// a correct device gives. The first input byte picks the framing (or the
// stray-input drain); the rest is the device's.
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <vector>

#include "Karvel.h"
#include "ModbusFraming.h"
#include "ModbusStream.h"
#include "ReferenceCrc.h"

using namespace karvel;
using modbus::Bytes;
using modbus::Failure;

namespace {

void quiet(int, const char*) {}

// The length of the RTU reply frame that starts `device`, by its function code; 0 when none can start it.
std::size_t rtuFrameLength(const std::uint8_t* device, std::size_t size) {
    if (size < 2) return 0;
    const std::uint8_t function = device[1];
    if (function & 0x80) return 5;
    if (function == 5 || function == 6 || function == 15 || function == 16) return 8;
    if ((function == 3 || function == 4) && size >= 3 && device[2] <= 250) return std::size_t{device[2]} + 5;
    return 0;
}

// What is left in the socket once a reader has returned.
Bytes leftover(net::SocketHandle socket) {
    Bytes rest;
    std::uint8_t buffer[4096];
    long received;
    while ((received = net::receiveSome(socket, buffer, sizeof buffer)) > 0) rest.insert(rest.end(), buffer, buffer + received);
    return rest;
}

// The requests the replies are checked against, and the replies a correct device gives.
const Bytes kMbapRequest = modbus::mbapRequest(0x0102, modbus::writeSingleCoilPdu(15, true));
const Bytes kRtuRequest = modbus::rtuRequest(modbus::writeSingleRegisterPdu(3, 50));
const Bytes kMbapEcho = {0x01, 0x02, 0x00, 0x00, 0x00, 0x06, 0x01, 0x05, 0x00, 0x0F, 0xFF, 0x00};
const Bytes kRtuEcho = {0x01, 0x06, 0x00, 0x03, 0x00, 0x32, 0xF8, 0x1F};

bool isMbapException(const Bytes& frame) {
    return frame.size() == 9 && Bytes(frame.begin(), frame.begin() + 8) == Bytes{0x01, 0x02, 0, 0, 0, 3, 1, 0x85};
}

bool isRtuException(const Bytes& frame) {
    return frame.size() == 5 && frame[0] == 0x01 && frame[1] == 0x86 &&
           referenceCrc(frame.data(), 3) == (frame[3] | frame[4] << 8);
}

// The check's verdict on a frame the reader read whole.
void checkAnswer(const modbus::Framing& framing, const Bytes& request, const Bytes& frame, const Bytes& echo,
                 bool (*isException)(const Bytes&)) {
    Bytes reply;
    const modbus::Result result = framing.checkReply(request, frame, reply);
    if (result.accepted() != (frame == echo)) __builtin_trap();
    if ((result.failure == Failure::Exception) != isException(frame)) __builtin_trap();
    if (result.answered() == reply.empty()) __builtin_trap();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 1 || size > 2048) return 0; // one socket buffer: the write below never blocks
    Ridova_SetLogCallback(&quiet);
    const std::uint8_t mode = data[0] % 3;
    const std::uint8_t* device = data + 1;
    const std::size_t sent = size - 1;
    int ends[2];
    if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, ends) != 0) return 0;
    if (sent > 0 && ::write(ends[1], device, sent) != static_cast<ssize_t>(sent)) __builtin_trap();
    ::shutdown(ends[1], SHUT_WR); // the device stops sending: every read ends now, not at the deadline
    const auto socket = static_cast<net::SocketHandle>(ends[0]);
    const Deadline deadline = Deadline::after(std::chrono::seconds(5));
    const auto start = std::chrono::steady_clock::now();

    Bytes frame;
    if (mode == 0) {
        const modbus::Result read = modbus::kModbusTcp.readReply(socket, deadline, frame);
        const std::size_t length = sent >= 6 ? std::size_t{device[4]} * 256 + device[5] : 0;
        const bool lengthValid = length >= 1 && length <= 257;
        Failure expected = Failure::None;
        if (sent < 7) {
            expected = Failure::HeaderIncomplete;
        } else if (!lengthValid) {
            expected = Failure::LengthInvalid;
        } else if (sent < 6 + length) {
            expected = Failure::DataIncomplete;
        }
        if (read.failure != expected) __builtin_trap();
        if (read.accepted()) {
            if (frame != Bytes(device, device + 6 + length)) __builtin_trap();
            if (leftover(socket) != Bytes(device + 6 + length, device + sent)) __builtin_trap();
            checkAnswer(modbus::kModbusTcp, kMbapRequest, frame, kMbapEcho, &isMbapException);
        }
    } else if (mode == 1) {
        const modbus::Result read = modbus::kRtuOverTcp.readReply(socket, deadline, frame);
        const std::size_t length = rtuFrameLength(device, sent);
        const bool complete = length != 0 && sent >= length;
        if (read.accepted() != complete) __builtin_trap();
        if (read.accepted()) {
            if (frame != Bytes(device, device + length)) __builtin_trap();
            if (leftover(socket) != Bytes(device + length, device + sent)) __builtin_trap();
            checkAnswer(modbus::kRtuOverTcp, kRtuRequest, frame, kRtuEcho, &isRtuException);
        }
    } else {
        const bool kept = modbus::discardStrayInput(socket);
        if (sent < modbus::kMaxStrayBytes && !kept) __builtin_trap();
        if (sent > modbus::kMaxStrayBytes && kept) __builtin_trap();
    }
    // Nothing waited for bytes that could no longer come.
    if (std::chrono::steady_clock::now() - start > std::chrono::seconds(4)) __builtin_trap();
    ::close(ends[0]);
    ::close(ends[1]);
    return 0;
}
