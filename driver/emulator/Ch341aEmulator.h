#pragma once

#include "EmulatedUsb.h"

namespace velmor::emulator {

// A CH341A (1a86:5512) at its bulk endpoints: decodes the 32-byte packets of
// the SPI, I2C and UIO streams as the device does and drives the simulated
// chip through the pins. USB full speed (1 ms frames, about 1 us per byte on
// the wire) and the SPI clock of about 1.5 MHz (5.33 us per byte).
class Ch341aEmulator : public EmulatedUsbDevice {
public:
    Ch341aEmulator(const std::string& location, std::unique_ptr<SimulatedChip> chip);

    // Last stream speed set (0x60 | speed), 0 before any.
    uint8_t streamSpeed() const { return m_speed; }

protected:
    void receive(std::span<const uint8_t> data) override;

private:
    void spiPacket(std::span<const uint8_t> bytes);
    void uioPacket(std::span<const uint8_t> bytes);
    void i2cPacket(std::span<const uint8_t> bytes);

    uint8_t m_pins = 0xFF;
    uint8_t m_direction = 0x00;
    uint8_t m_speed = 0;
};

}  // namespace velmor::emulator
