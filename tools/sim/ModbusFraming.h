// Finds request frames in the byte stream of one TCP client, in the two
// framings the effects devices speak: "Modbus-TCP" (MBAP header) and
// "RTU-over-TCP" (an RTU frame with its CRC, as is, in the stream).
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace karvel::sim {

enum class Framing { ModbusTcp, RtuOverTcp };

const char* framingName(Framing framing);

// CRC-16/MODBUS: start 0xFFFF, reflected polynomial 0xA001, no final XOR.
std::uint16_t crc16(const std::uint8_t* data, std::size_t size);

struct FrameScan {
    enum Kind {
        NeedMore,  // no complete frame yet
        Request,   // `length` bytes form a request for this device
        Ignored,   // `length` bytes form a request for another slave
        Malformed, // `length` bytes are dropped; `reason` says why
    } kind = NeedMore;
    std::size_t length = 0;
    std::string reason;
};

// Looks at the start of `stream`; never consumes on NeedMore.
FrameScan scanFrame(Framing framing, const std::vector<std::uint8_t>& stream, std::uint8_t slave);

// The PDU (function code first) of a request frame that scanFrame found.
std::vector<std::uint8_t> requestPdu(Framing framing, const std::uint8_t* frame, std::size_t length);
// The reply frame to `request` (a whole request frame) carrying `pdu`: the
// MBAP header echoes the request's transaction and unit; RTU adds the CRC.
std::vector<std::uint8_t> replyFrame(Framing framing, const std::uint8_t* request, const std::vector<std::uint8_t>& pdu);

} // namespace karvel::sim
