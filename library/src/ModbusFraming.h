// Modbus requests and replies for the two framings the effects devices speak:
// "Modbus-TCP" (MBAP header) and "RTU-over-TCP" (an RTU frame with its CRC
// carried as is in the TCP stream). Each framing is one table of functions
// (build the request, read one reply off the stream, check that the reply
// answers the request), defined in its own file, so that each framing's
// checks live with it. Failures are values: a code and what was seen, turned
// into log text by the client alone.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "Deadline.h"
#include "platform/SocketServices.h"

namespace karvel::modbus {

using Bytes = std::vector<std::uint8_t>;

inline constexpr std::uint8_t kSlaveAddress = 1;
inline constexpr std::uint8_t kWriteSingleCoil = 0x05;
inline constexpr std::uint8_t kWriteSingleRegister = 0x06;
inline constexpr std::uint8_t kWriteMultipleCoils = 0x0F;
inline constexpr std::uint8_t kExceptionBit = 0x80;
inline constexpr std::size_t kMbapHeaderSize = 7;
inline constexpr int kMaxMbapDataLength = 256;
inline constexpr int kMaxRtuByteCount = 250;
// The byte count of a multiple-coils request is one byte.
inline constexpr int kMaxCoilsPerRequest = 1968;
// A write's reply PDU: the function code and the address and value (or quantity) it echoes.
inline constexpr std::size_t kWriteReplyPduSize = 5;
// An exception reply PDU: the function code with bit 7 set and the exception code.
inline constexpr std::size_t kExceptionPduSize = 2;

// Why a request got no accepted reply.
enum class Failure : std::uint8_t {
    None,
    Exception, // the device refused the request: an answer, never retried
    // Nothing was exchanged.
    RequestInvalid, // a request the framing cannot carry; nothing sent
    DeadlinePassed,
    NotConnected,
    SendFailed,
    // "Modbus-TCP": the reply could not be read whole.
    HeaderIncomplete,
    LengthInvalid,
    DataIncomplete,
    // "RTU-over-TCP": the reply could not be read whole.
    FrameIncomplete,
    FunctionUnsupported,
    ByteCountInvalid,
    // The reply does not answer the request.
    CrcMismatch,
    OtherTransaction,
    OtherProtocol,
    OtherUnit,
    OtherFunction,
    OtherEcho,
    LengthMismatch,
};

// A request's or an attempt's outcome: the failure, and what was seen and
// expected where the failure has such values (the exception code and the
// function; the CRCs; the transaction, unit or function codes; the lengths;
// the echoed address and value as address * 65536 + value; the socket error).
struct Result {
    Failure failure = Failure::None;
    long long got = 0;
    long long expected = 0;

    bool accepted() const { return failure == Failure::None; }
    // The device answered, accepting or refusing. Anything else is worth one
    // more attempt over a fresh connection.
    bool answered() const { return failure == Failure::None || failure == Failure::Exception; }
};

inline Result failedWith(Failure failure, long long got = 0, long long expected = 0) {
    return Result{failure, got, expected};
}

// A few words for the failure, for the line that ends a failed request.
const char* failureReason(Failure failure);
// "write single coil" and the like; "function" for codes the client never sends.
const char* functionName(std::uint8_t functionCode);
// The standard meaning of a Modbus exception code; "unknown exception" otherwise.
const char* exceptionName(long long code);

// CRC-16/MODBUS: start 0xFFFF, reflected polynomial 0xA001, no final XOR.
std::uint16_t crc16(const std::uint8_t* bytes, std::size_t length);

Bytes writeSingleCoilPdu(std::uint16_t address, bool on);
Bytes writeSingleRegisterPdu(std::uint16_t address, std::uint16_t value);
// Coil states packed least significant bit first; empty when count is outside 1..1968.
Bytes writeMultipleCoilsPdu(std::uint16_t start, const bool* values, int count);

// Whether a reply PDU (function code first) answers a write request PDU: the
// same function echoing the request's address and value (or quantity), or an
// exception reply to that function. Both framings end their check with it.
Result checkWriteReply(const Bytes& requestPdu, const std::uint8_t* replyPdu, std::size_t length);

// One framing, as the client runs an exchange through it.
struct Framing {
    const char* name;
    // The bytes of a frame that are not its PDU (header, address, CRC).
    std::size_t overhead;
    // The request frame for a PDU; the transaction identifier where the framing has one.
    Bytes (*buildRequest)(std::uint16_t transactionId, const Bytes& pdu);
    // One reply frame off the stream, whole and as the device sent it; every
    // wait ends by the deadline, and nothing past the frame is consumed.
    Result (*readReply)(net::SocketHandle socket, Deadline deadline, Bytes& frame);
    // Whether the frame answers the request frame. When the device answered
    // (accepting or with an exception), `reply` is [unit identifier or slave
    // address, PDU...]; otherwise it is left empty.
    Result (*checkReply)(const Bytes& request, const Bytes& frame, Bytes& reply);
};

// "Modbus-TCP": the MBAP header (transaction, protocol 0, length, unit 1) and the PDU.
extern const Framing kModbusTcp;
// "RTU-over-TCP": slave address 1, the PDU and its CRC, low byte first.
extern const Framing kRtuOverTcp;

// The request frames of each framing (their tables' buildRequest).
Bytes mbapRequest(std::uint16_t transactionId, const Bytes& pdu);
Bytes rtuRequest(const Bytes& pdu);

} // namespace karvel::modbus
