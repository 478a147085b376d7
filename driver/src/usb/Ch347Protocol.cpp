#include "Ch347Protocol.h"

#include <algorithm>

namespace velmor::ch347 {

uint8_t divisorFor(uint32_t khz) {
    uint8_t exponent = 0;
    while (exponent < kSlowestDivisor && (kBaseClockKhz >> exponent) > khz) {
        ++exponent;
    }
    return exponent;
}

uint32_t clockHz(uint8_t divisorExponent) {
    return (kBaseClockKhz * 1000u) >> divisorExponent;
}

std::vector<uint8_t> configFrame(uint8_t divisorExponent) {
    std::vector<uint8_t> frame(kHeader + kConfigLength, 0x00);
    frame[0] = kSetConfig;
    frame[1] = static_cast<uint8_t>(kConfigLength);
    // Payload: master, full duplex, 8-bit frames (bytes 2..3 = 4, 1 as the vendor
    // driver writes them), mode 0 (CPOL byte 6, CPHA byte 8 both 0), software
    // chip select (byte 11 = 2), clock divisor in bits 5..3 of byte 12, MSB
    // first (byte 14 = 0), byte 16 = 7 as the vendor driver writes it, both
    // chip selects active low (byte 21 = 0).
    frame[kHeader + 2] = 4;
    frame[kHeader + 3] = 1;
    frame[kHeader + 11] = 2;
    frame[kHeader + 12] = static_cast<uint8_t>((divisorExponent & 0x7) << 3);
    frame[kHeader + 16] = 7;
    return frame;
}

std::array<uint8_t, 13> chipSelectFrame(bool select, uint16_t delayUs) {
    std::array<uint8_t, 13> frame{};
    frame[0] = kChipSelect;
    frame[1] = 10;
    frame[3] = static_cast<uint8_t>(kCsChange | (select ? 0 : kCsDeselect));
    frame[4] = static_cast<uint8_t>(delayUs);
    frame[5] = static_cast<uint8_t>(delayUs >> 8);
    return frame;
}

std::vector<uint8_t> outFrame(std::span<const uint8_t> payload) {
    // Sized once and filled in place (GCC 12 at -O2 misreads an insert after a braced start).
    std::vector<uint8_t> frame(3 + payload.size());
    frame[0] = kSpiOut;
    frame[1] = static_cast<uint8_t>(payload.size());
    frame[2] = static_cast<uint8_t>(payload.size() >> 8);
    std::copy(payload.begin(), payload.end(), frame.begin() + 3);
    return frame;
}

std::array<uint8_t, 7> inFrame(uint32_t count) {
    return {kSpiIn,
            4,
            0,
            static_cast<uint8_t>(count),
            static_cast<uint8_t>(count >> 8),
            static_cast<uint8_t>(count >> 16),
            static_cast<uint8_t>(count >> 24)};
}

std::array<uint8_t, 4> getConfigFrame() {
    return {kGetConfig, 1, 0, 1};
}

}  // namespace velmor::ch347
