// Reads one Modbus reply from a connected stream socket, in either framing,
// with every wait bounded by the exchange's deadline: a device that trickles
// its reply or announces more than it sends costs the deadline, no more.
// Logs what it rejects; never throws.
#pragma once

#include <cstddef>
#include <cstdint>

#include "Deadline.h"
#include "ModbusFraming.h"
#include "platform/SocketServices.h"

namespace karvel::modbus {

// More unasked bytes than this waiting before a request: the device keeps
// sending, and its connection is started afresh rather than drained.
inline constexpr std::size_t kMaxStrayBytes = 512;

enum class Attempt {
    Succeeded,
    Failed,    // worth a retry over a fresh connection
    Abandoned, // the reply cannot be read in step with the stream (an invalid length): no retry
};

// Exactly `length` bytes before the deadline; false on time-out, close or error.
bool readBytes(net::SocketHandle socket, std::uint8_t* buffer, int length, Deadline deadline);

// A "Modbus-TCP" reply to transaction `transactionId`: [unit identifier, PDU...].
Attempt readMbapReply(net::SocketHandle socket, std::uint16_t transactionId, int retry, Deadline deadline,
                      Bytes& reply);

// One "RTU-over-TCP" reply frame that passed its CRC test, without the CRC; empty otherwise.
Bytes readRtuResponse(net::SocketHandle socket, Deadline deadline);

// Drops bytes that arrived after the last accepted reply without waiting for
// more; false when more than kMaxStrayBytes were waiting.
bool discardStrayInput(net::SocketHandle socket);

} // namespace karvel::modbus
