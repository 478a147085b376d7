#include "Ch347Emulator.h"

#include <algorithm>

#include "usb/Ch347Protocol.h"

namespace velmor::emulator {

namespace {
constexpr EmulatedUsbDevice::BusModel kHighSpeed{125.0, 125.0 / 507.0};

UsbEndpoints endpointsOf(uint16_t productId) {
    return productId == ch347::kProductIdF ? ch347::kEndpointsF : ch347::kEndpointsT;
}
}  // namespace

Ch347Emulator::Ch347Emulator(const std::string& location, uint16_t productId,
                             std::unique_ptr<SimulatedChip> chip)
    : EmulatedUsbDevice({ch347::kVendorId, productId, 1, 3, location}, endpointsOf(productId), kHighSpeed,
                        std::move(chip)) {
    setSpiByteUs(8.0 * 1e6 / m_clockHz);
}

void Ch347Emulator::receive(std::span<const uint8_t> data) {
    // Frames follow one another; a frame cut short by the transfer's end is dropped.
    while (data.size() >= ch347::kHeader) {
        const size_t length = data[1] | (size_t{data[2]} << 8);
        if (data.size() < ch347::kHeader + length) {
            return;
        }
        frame(data[0], data.subspan(ch347::kHeader, length));
        data = data.subspan(ch347::kHeader + length);
    }
}

void Ch347Emulator::setConfig(std::span<const uint8_t> payload) {
    std::fill(m_config.begin(), m_config.end(), uint8_t{0});
    std::copy_n(payload.begin(), std::min(payload.size(), m_config.size()), m_config.begin());
    m_clockHz = ch347::clockHz(static_cast<uint8_t>((m_config[12] >> 3) & 0x7));
    setSpiByteUs(8.0 * 1e6 / m_clockHz);
}

void Ch347Emulator::frame(uint8_t command, std::span<const uint8_t> payload) {
    switch (command) {
        case ch347::kSetConfig:
            setConfig(payload);
            answer({ch347::kSetConfig, 1, 0, 0});
            break;
        case ch347::kChipSelect:
            // CS1's entry; the second (CS2) is not wired to the socket.
            if (payload.size() >= 5 && (payload[0] & ch347::kCsChange) != 0) {
                chipSelect((payload[0] & ch347::kCsDeselect) == 0);
                spendUs(payload[1] | (payload[2] << 8));
            }
            break;
        case ch347::kSpiOut:
            for (const uint8_t b : payload) {
                spiByte(b);
            }
            answer({ch347::kSpiOut, 1, 0, 0});
            break;
        case ch347::kSpiIn: {
            if (payload.size() < 4) {
                break;
            }
            uint32_t count =
                payload[0] | (payload[1] << 8) | (payload[2] << 16) | (uint32_t{payload[3]} << 24);
            while (count > 0) {
                const uint32_t now = std::min<uint32_t>(count, ch347::kMaxPayload);
                std::vector<uint8_t> reply{ch347::kSpiIn, static_cast<uint8_t>(now),
                                           static_cast<uint8_t>(now >> 8)};
                for (uint32_t i = 0; i < now; ++i) {
                    reply.push_back(spiByte(0xFF));
                }
                answer(std::move(reply));
                count -= now;
            }
            break;
        }
        case ch347::kGetConfig: {
            std::vector<uint8_t> reply{ch347::kGetConfig, static_cast<uint8_t>(m_config.size()), 0};
            reply.insert(reply.end(), m_config.begin(), m_config.end());
            answer(std::move(reply));
            break;
        }
        default:
            break;
    }
}

}  // namespace velmor::emulator
