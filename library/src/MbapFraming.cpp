// "Modbus-TCP": a 7-byte MBAP header (transaction identifier, protocol
// identifier 0, length of what follows, unit identifier) and the PDU. A reply
// answers a request when it carries the request's transaction, protocol and
// unit and its PDU answers the request's PDU.
#include "ModbusFraming.h"
#include "ModbusStream.h"

namespace karvel::modbus {
namespace {

constexpr std::size_t kTransactionAt = 0;
constexpr std::size_t kProtocolAt = 2;
constexpr std::size_t kLengthAt = 4;
constexpr std::size_t kUnitAt = 6;

long long wordAt(const Bytes& bytes, std::size_t at) { return static_cast<long long>(bytes[at]) << 8 | bytes[at + 1]; }

void appendWord(Bytes& bytes, std::uint16_t value) {
    bytes.push_back(static_cast<std::uint8_t>(value >> 8));
    bytes.push_back(static_cast<std::uint8_t>(value & 0xFF));
}

Result readReply(net::SocketHandle socket, Deadline deadline, Bytes& frame) {
    frame.assign(kMbapHeaderSize, 0);
    if (!readBytes(socket, frame.data(), static_cast<int>(kMbapHeaderSize), deadline))
        return failedWith(Failure::HeaderIncomplete);
    // The length counts the unit identifier and the PDU.
    const long long dataLength = wordAt(frame, kLengthAt) - 1;
    if (dataLength < 0 || dataLength > kMaxMbapDataLength) return failedWith(Failure::LengthInvalid, dataLength);
    frame.resize(kMbapHeaderSize + static_cast<std::size_t>(dataLength));
    if (!readBytes(socket, frame.data() + kMbapHeaderSize, static_cast<int>(dataLength), deadline))
        return failedWith(Failure::DataIncomplete, 0, dataLength);
    return {};
}

Result checkReply(const Bytes& request, const Bytes& frame, Bytes& reply) {
    reply.clear();
    if (request.size() < kMbapHeaderSize || frame.size() < kMbapHeaderSize) return failedWith(Failure::HeaderIncomplete);
    // A reply to an earlier request (a device that answered it twice, or late) is no answer to this one.
    const long long transaction = wordAt(frame, kTransactionAt);
    if (transaction != wordAt(request, kTransactionAt))
        return failedWith(Failure::OtherTransaction, transaction, wordAt(request, kTransactionAt));
    if (wordAt(frame, kProtocolAt) != 0) return failedWith(Failure::OtherProtocol, wordAt(frame, kProtocolAt), 0);
    if (frame[kUnitAt] != request[kUnitAt]) return failedWith(Failure::OtherUnit, frame[kUnitAt], request[kUnitAt]);
    // The length counts the unit identifier and the PDU: what follows it in the frame.
    const long long dataLength = wordAt(frame, kLengthAt) - 1;
    if (dataLength != static_cast<long long>(frame.size() - kMbapHeaderSize))
        return failedWith(Failure::LengthInvalid, dataLength);
    const Bytes requestPdu(request.begin() + kMbapHeaderSize, request.end());
    const Result answer =
        checkWriteReply(requestPdu, frame.data() + kMbapHeaderSize, frame.size() - kMbapHeaderSize);
    if (answer.answered()) reply.assign(frame.begin() + kUnitAt, frame.end());
    return answer;
}

} // namespace

Bytes mbapRequest(std::uint16_t transactionId, const Bytes& pdu) {
    Bytes frame;
    frame.reserve(kMbapHeaderSize + pdu.size());
    appendWord(frame, transactionId);
    appendWord(frame, 0);
    appendWord(frame, static_cast<std::uint16_t>(pdu.size() + 1));
    frame.push_back(kSlaveAddress);
    frame.insert(frame.end(), pdu.begin(), pdu.end());
    return frame;
}

const Framing kModbusTcp{"Modbus-TCP", kMbapHeaderSize, &mbapRequest, &readReply, &checkReply};

} // namespace karvel::modbus
