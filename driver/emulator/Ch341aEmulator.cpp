#include "Ch341aEmulator.h"

#include <algorithm>

#include "usb/Ch341aProtocol.h"

namespace velmor::emulator {

namespace {
constexpr EmulatedUsbDevice::BusModel kFullSpeed{1000.0, 1.0};
constexpr uint8_t kChipSelectPin = 0x01;
}  // namespace

Ch341aEmulator::Ch341aEmulator(const std::string& location, std::unique_ptr<SimulatedChip> chip)
    : EmulatedUsbDevice({ch341a::kVendorId, ch341a::kProductId, 1, 2, location}, ch341a::kEndpoints,
                        kFullSpeed, std::move(chip)) {
    setSpiByteUs(8.0 * 1e6 / ch341a::kSpiClockHz);
}

void Ch341aEmulator::receive(std::span<const uint8_t> data) {
    // The bus cuts a transfer into 32-byte packets; each starts a stream command.
    for (size_t at = 0; at < data.size(); at += ch341a::kPacket) {
        const std::span<const uint8_t> packet = data.subspan(at, std::min(ch341a::kPacket, data.size() - at));
        const std::span<const uint8_t> rest = packet.subspan(1);
        switch (packet[0]) {
            case ch341a::kSpiStream:
                spiPacket(rest);
                break;
            case ch341a::kUioStream:
                uioPacket(rest);
                break;
            case ch341a::kI2cStream:
                i2cPacket(rest);
                break;
            default:
                break;  // other commands: nothing the flash programmer uses
        }
    }
}

void Ch341aEmulator::spiPacket(std::span<const uint8_t> bytes) {
    // LSB first on the wire: a byte is reversed on its way out and in.
    std::vector<uint8_t> answer;
    answer.reserve(bytes.size());
    for (const uint8_t b : bytes) {
        answer.push_back(ch341a::reverseBits(spiByte(ch341a::reverseBits(b))));
    }
    this->answer(std::move(answer));
}

void Ch341aEmulator::uioPacket(std::span<const uint8_t> bytes) {
    for (const uint8_t op : bytes) {
        if (op == ch341a::kUioEnd) {
            return;  // the rest of the packet is ignored
        }
        switch (op & 0xC0) {
            case ch341a::kUioOut:
                m_pins = op & 0x3F;
                break;
            case ch341a::kUioDir:
                m_direction = op & 0x3F;
                break;
            case ch341a::kUioDelayUs:
                spendUs(op & 0x3F);
                break;
            default:  // 0x00: input, answers the pins
                answer({m_pins});
                break;
        }
        // Chip select is driven only while D0 is an output; undriven, the chip's pull-up deselects.
        chipSelect((m_direction & kChipSelectPin) != 0 && (m_pins & kChipSelectPin) == 0);
    }
}

void Ch341aEmulator::i2cPacket(std::span<const uint8_t> bytes) {
    for (const uint8_t op : bytes) {
        if (op == ch341a::kI2cEnd) {
            return;
        }
        if ((op & 0xF0) == ch341a::kI2cSet) {
            m_speed = op;
        }
    }
}

}  // namespace velmor::emulator
