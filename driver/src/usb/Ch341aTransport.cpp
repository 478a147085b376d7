#include "Ch341aTransport.h"

#include <array>

#include "Ch341aProtocol.h"

namespace velmor {

Ch341aTransport::Ch341aTransport(std::unique_ptr<UsbPort> port) : UsbSpiTransport(std::move(port)) {}

Ch341aTransport::~Ch341aTransport() {
    if (present()) {
        // Leave the chip deselected.
        std::vector<uint8_t> stream;
        ch341a::appendChipSelect(stream, 0, false);
        if (submitOut(stream)) {
            reapAll();
        }
    }
}

bool Ch341aTransport::start() {
    return submitOut(ch341a::setupStream()) && reapAll();
}

bool Ch341aTransport::selfTest() {
    // One SPI byte with chip select high: the device answers every SPI packet
    // with as many bytes, and no chip listens.
    const std::array<uint8_t, 2> probe{ch341a::kSpiStream, 0xFF};
    std::array<uint8_t, 1> answer{};
    return submitOut(probe) && submitIn(answer) && reapAll();
}

bool Ch341aTransport::run(std::span<const SpiCycle> cycles) {
    if (!present()) {
        return false;
    }
    size_t replyBytes = 0;
    for (const SpiCycle& cycle : cycles) {
        replyBytes += cycle.out.size() + cycle.in.size();
    }
    std::vector<uint8_t> replies(replyBytes);
    std::vector<uint8_t> stream;
    size_t replyAt = 0;
    uint32_t delayBefore = 0;
    for (const SpiCycle& cycle : cycles) {
        stream.clear();
        ch341a::appendChipSelect(stream, delayBefore, true);
        ch341a::appendSpi(stream, cycle.out, cycle.in.size());
        if (!submitOut(stream)) {
            return reapAll() && false;
        }
        size_t left = cycle.out.size() + cycle.in.size();
        while (left > 0) {
            const size_t now = std::min(left, ch341a::kSpiBytesPerPacket);
            if (!submitIn({replies.data() + replyAt, now})) {
                return reapAll() && false;
            }
            replyAt += now;
            left -= now;
        }
        delayBefore = cycle.delayAfterUs;
    }
    stream.clear();
    ch341a::appendChipSelect(stream, delayBefore, false);
    if (!submitOut(stream) || !reapAll()) {
        reapAll();
        return false;
    }
    replyAt = 0;
    for (const SpiCycle& cycle : cycles) {
        replyAt += cycle.out.size();
        for (uint8_t& byte : cycle.in) {
            byte = ch341a::reverseBits(replies[replyAt++]);
        }
    }
    return true;
}

}  // namespace velmor
