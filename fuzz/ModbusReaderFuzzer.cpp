// The reply readers take whatever a device sends over the connection. Fed
// through a connected socket pair, each must accept exactly a well-formed
// frame, consume nothing past it, and never wait once the device has stopped
// sending. The first input byte picks the reader; the rest is the device's.
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <vector>

#include "Karvel.h"
#include "ModbusReplyReader.h"

using namespace karvel;
using modbus::Bytes;

namespace {

void quiet(int, const char*) {}

// CRC-16/MODBUS the table way, apart from the library's bitwise one.
std::uint16_t referenceCrc(const std::uint8_t* bytes, std::size_t length) {
    static const auto table = [] {
        std::vector<std::uint16_t> entries(256);
        for (unsigned i = 0; i < 256; ++i) {
            unsigned crc = i;
            for (int bit = 0; bit < 8; ++bit) crc = (crc >> 1) ^ ((crc & 1u) ? 0xA001u : 0u);
            entries[i] = static_cast<std::uint16_t>(crc);
        }
        return entries;
    }();
    std::uint16_t crc = 0xFFFF;
    for (std::size_t i = 0; i < length; ++i) crc = static_cast<std::uint16_t>((crc >> 8) ^ table[(crc ^ bytes[i]) & 0xFF]);
    return crc;
}

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

    std::size_t consumed = 0;
    if (mode == 0) {
        const std::uint16_t transaction = 0x0102;
        Bytes reply;
        const modbus::Attempt outcome = modbus::readMbapReply(socket, transaction, 0, deadline, reply);
        const std::size_t length = sent >= 6 ? std::size_t{device[4]} * 256 + device[5] : 0;
        const bool lengthValid = length >= 1 && length <= 257;
        if (outcome == modbus::Attempt::Abandoned && (sent < 7 || lengthValid)) __builtin_trap();
        if (outcome == modbus::Attempt::Succeeded) {
            if (sent < 6 + length || device[0] != 0x01 || device[1] != 0x02 || !lengthValid) __builtin_trap();
            if (reply != Bytes(device + 6, device + 6 + length)) __builtin_trap();
            consumed = 6 + length;
        } else if (!reply.empty()) {
            __builtin_trap();
        }
        // A complete frame for this transaction is never turned down.
        if (outcome != modbus::Attempt::Succeeded && sent >= 6 + length && lengthValid && device[0] == 0x01 &&
            device[1] == 0x02)
            __builtin_trap();
        if (outcome == modbus::Attempt::Succeeded && leftover(socket) != Bytes(device + consumed, device + sent))
            __builtin_trap();
    } else if (mode == 1) {
        const Bytes reply = modbus::readRtuResponse(socket, deadline);
        const std::size_t frame = rtuFrameLength(device, sent);
        const bool complete = frame != 0 && sent >= frame;
        const bool crcGood = complete && referenceCrc(device, frame - 2) == (device[frame - 2] | device[frame - 1] << 8);
        if (!reply.empty() != (complete && crcGood)) __builtin_trap();
        if (!reply.empty()) {
            if (reply != Bytes(device, device + frame - 2)) __builtin_trap();
            if (leftover(socket) != Bytes(device + frame, device + sent)) __builtin_trap();
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
