// Reading a Modbus device's TCP stream with every wait bounded by a deadline:
// a device that trickles its reply or announces more than it sends costs the
// deadline, no more. Shared by both framings. Never throws, never logs.
#pragma once

#include <cstddef>
#include <cstdint>

#include "Deadline.h"
#include "platform/SocketServices.h"

namespace karvel::modbus {

// More unasked bytes than this waiting before a request: the device keeps
// sending, and its connection is started afresh rather than drained.
inline constexpr std::size_t kMaxStrayBytes = 512;

// Exactly `length` bytes before the deadline; false on time-out, close or error.
bool readBytes(net::SocketHandle socket, std::uint8_t* buffer, int length, Deadline deadline);

// Drops bytes that arrived after the last accepted reply without waiting for
// more; false when more than kMaxStrayBytes were waiting.
bool discardStrayInput(net::SocketHandle socket);

} // namespace karvel::modbus
