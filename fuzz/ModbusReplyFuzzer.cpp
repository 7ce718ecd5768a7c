// Replies from a device are untrusted bytes: every check must hold on any input.
#include <cstddef>
#include <cstdint>

#include "ModbusFraming.h"

using namespace karvel::modbus;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const Bytes bytes(data, data + size);
    crc16(data, size);
    if (size >= kMbapHeaderSize) {
        std::uint8_t header[kMbapHeaderSize];
        for (std::size_t i = 0; i < kMbapHeaderSize; ++i) header[i] = data[i];
        const int length = mbapDataLength(header);
        if (length < -1 || length > 65534) __builtin_trap();
    }
    if (size >= 2) rtuReplyShape(data[1]);
    const RtuCrcCheck check = checkRtuCrc(bytes);
    if (check.ok && size < 4) __builtin_trap();
    if (size > 0) writeAccepted(bytes, data[0]);
    // Requests built from fuzzed values keep their framing.
    if (size >= 4) {
        const auto address = static_cast<std::uint16_t>(data[0] << 8 | data[1]);
        const auto value = static_cast<std::uint16_t>(data[2] << 8 | data[3]);
        const Bytes rtu = rtuRequest(writeSingleRegisterPdu(address, value));
        if (!checkRtuCrc(rtu).ok) __builtin_trap();
        bool coils[64];
        const int count = static_cast<int>(size % 70);
        for (int i = 0; i < 64; ++i) coils[i] = (data[i % size] >> (i % 8)) & 1;
        const Bytes pdu = writeMultipleCoilsPdu(address, coils, count > 64 ? 64 : count);
        if (!pdu.empty() && pdu.size() != 6 + static_cast<std::size_t>(pdu[5])) __builtin_trap();
        const Bytes mbap = mbapRequest(value, pdu);
        if (mbap.size() != kMbapHeaderSize + pdu.size()) __builtin_trap();
    }
    return 0;
}
