#include "Ch341aProtocol.h"

#include <algorithm>

namespace velmor::ch341a {

namespace {

void padPacket(std::vector<uint8_t>& stream, size_t packetStart) {
    stream.resize(packetStart + kPacket, 0x00);
}

}  // namespace

uint8_t reverseBits(uint8_t value) {
    value = static_cast<uint8_t>(((value & 0xF0) >> 4) | ((value & 0x0F) << 4));
    value = static_cast<uint8_t>(((value & 0xCC) >> 2) | ((value & 0x33) << 2));
    value = static_cast<uint8_t>(((value & 0xAA) >> 1) | ((value & 0x55) << 1));
    return value;
}

std::vector<uint8_t> setupStream() {
    // Two packets, each padded with zeros; sized once (GCC 12 at -O3 reports a false
    // array bound on growing a vector that began from a braced list).
    std::vector<uint8_t> stream(2 * kPacket, 0x00);
    const uint8_t speed[] = {kI2cStream, static_cast<uint8_t>(kI2cSet | kSpeedSingle), kI2cEnd};
    const uint8_t pins[] = {kUioStream, static_cast<uint8_t>(kUioOut | kPinsDeselected),
                            static_cast<uint8_t>(kUioDir | kPinsOutputs), kUioEnd};
    std::copy(std::begin(speed), std::end(speed), stream.begin());
    std::copy(std::begin(pins), std::end(pins), stream.begin() + kPacket);
    return stream;
}

void appendChipSelect(std::vector<uint8_t>& stream, uint32_t delayUs, bool select) {
    // Room per packet besides the stream byte, deselect, select and end.
    constexpr size_t kDelaysPerPacket = kPacket - 4;
    bool first = true;
    do {
        const size_t start = stream.size();
        stream.push_back(kUioStream);
        if (first) {
            stream.push_back(kUioOut | kPinsDeselected);
            first = false;
        }
        for (size_t n = 0; n < kDelaysPerPacket && delayUs > 0; ++n) {
            const uint32_t step = std::min<uint32_t>(delayUs, kMaxUioDelayUs);
            stream.push_back(static_cast<uint8_t>(kUioDelayUs | step));
            delayUs -= step;
        }
        if (delayUs == 0 && select) {
            stream.push_back(kUioOut | kPinsSelected);
        }
        stream.push_back(kUioEnd);
        padPacket(stream, start);
    } while (delayUs > 0);
}

size_t appendSpi(std::vector<uint8_t>& stream, std::span<const uint8_t> out, size_t inLength) {
    const size_t total = out.size() + inLength;
    size_t sent = 0;
    size_t packets = 0;
    while (sent < total) {
        const size_t now = std::min(kSpiBytesPerPacket, total - sent);
        stream.push_back(kSpiStream);
        for (size_t i = 0; i < now; ++i, ++sent) {
            stream.push_back(sent < out.size() ? reverseBits(out[sent]) : uint8_t{0xFF});
        }
        ++packets;
    }
    return packets;
}

}  // namespace velmor::ch341a
