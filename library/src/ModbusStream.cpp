#include "ModbusStream.h"

namespace karvel::modbus {

bool readBytes(net::SocketHandle socket, std::uint8_t* buffer, int length, Deadline deadline) {
    int done = 0;
    while (done < length) {
        // Waiting for readability first bounds the whole read, not each receive.
        const int left = deadline.remainingMs();
        if (left <= 0 || net::waitReadable(socket, left) <= 0) return false;
        const long received = net::receiveSome(socket, buffer + done, static_cast<std::size_t>(length - done));
        if (received <= 0) return false;
        done += static_cast<int>(received);
    }
    return true;
}

bool discardStrayInput(net::SocketHandle socket) {
    // Bytes that arrived after the last accepted reply (a device that sent more
    // than it should) belong to no request: never read them as the next reply.
    // A device that keeps sending is not drained, which could go on for ever.
    std::uint8_t stray[kMaxStrayBytes];
    std::size_t discarded = 0;
    while (net::waitReadable(socket, 0) > 0) {
        if (discarded >= kMaxStrayBytes) return false;
        const long received = net::receiveSome(socket, stray, sizeof stray);
        if (received <= 0) return true; // a closed or broken connection shows in the exchange
        discarded += static_cast<std::size_t>(received);
    }
    return true;
}

} // namespace karvel::modbus
