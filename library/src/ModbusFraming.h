// Modbus request building and reply checking for the two framings the effects
// devices speak: "Modbus-TCP" (MBAP header) and "RTU-over-TCP" (an RTU frame
// with its CRC carried as is in the TCP stream). Pure functions on bytes.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace karvel::modbus {

using Bytes = std::vector<std::uint8_t>;

inline constexpr std::uint8_t kSlaveAddress = 1;
inline constexpr std::uint8_t kWriteSingleCoil = 0x05;
inline constexpr std::uint8_t kWriteSingleRegister = 0x06;
inline constexpr std::uint8_t kWriteMultipleCoils = 0x0F;
inline constexpr std::size_t kMbapHeaderSize = 7;
inline constexpr int kMaxMbapDataLength = 256;
inline constexpr int kMaxRtuByteCount = 250;
// The byte count of a multiple-coils request is one byte.
inline constexpr int kMaxCoilsPerRequest = 1968;

// CRC-16/MODBUS: start 0xFFFF, reflected polynomial 0xA001, no final XOR.
std::uint16_t crc16(const std::uint8_t* bytes, std::size_t length);

Bytes writeSingleCoilPdu(std::uint16_t address, bool on);
Bytes writeSingleRegisterPdu(std::uint16_t address, std::uint16_t value);
// Coil states packed least significant bit first; empty when count is outside 1..1968.
Bytes writeMultipleCoilsPdu(std::uint16_t start, const bool* values, int count);

Bytes mbapRequest(std::uint16_t transactionId, const Bytes& pdu);
Bytes rtuRequest(const Bytes& pdu);

// The data length announced by an MBAP reply header (length field - 1);
// outside 0..256 the header is invalid.
int mbapDataLength(const std::uint8_t (&header)[kMbapHeaderSize]);
std::uint16_t mbapTransactionId(const std::uint8_t (&header)[kMbapHeaderSize]);

// How an RTU reply continues after its address and function code bytes.
enum class RtuReplyShape {
    Exception,  // exception code and CRC: 3 more bytes
    ByteCount,  // a byte count N, then N data bytes and the CRC
    Fixed,      // address and value (or quantity) and the CRC: 6 more bytes
    Unsupported,
};
RtuReplyShape rtuReplyShape(std::uint8_t functionCode);
inline constexpr std::size_t kRtuExceptionTail = 3;
inline constexpr std::size_t kRtuFixedTail = 6;

struct RtuCrcCheck {
    bool ok;
    std::uint16_t received;
    std::uint16_t computed;
};
// Compares the CRC in the last two bytes (low byte first) with the CRC of the rest.
RtuCrcCheck checkRtuCrc(const Bytes& frame);

// Whether an RTU reply (without its CRC) can be the answer to the request
// PDU: a write's reply echoes its address and value (or quantity), so a reply
// to an earlier write of the same function is told apart. Other replies are
// left to the write's own test.
bool rtuReplyAnswers(const Bytes& requestPdu, const Bytes& reply);

// A write is accepted when the reply (address byte first) has at least six
// bytes and echoes the function code; exception replies fail this test.
bool writeAccepted(const Bytes& reply, std::uint8_t functionCode);

} // namespace karvel::modbus
