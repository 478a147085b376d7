#pragma once

#include <array>

#include "EmulatedUsb.h"

namespace velmor::emulator {

// A CH347T (1a86:55DB, interface 2) or CH347F (1a86:55DE, interface 4) at its
// bulk endpoints: decodes the command frames as the device does and drives the
// simulated chip. USB high speed (125 us microframes, 507 payload bytes per
// microframe) and the SPI clock the configuration frame sets (60 MHz >> n;
// 468.75 kHz until configured).
class Ch347Emulator : public EmulatedUsbDevice {
public:
    Ch347Emulator(const std::string& location, uint16_t productId, std::unique_ptr<SimulatedChip> chip);

    uint32_t spiClockHz() const { return m_clockHz; }

protected:
    void receive(std::span<const uint8_t> data) override;

private:
    void frame(uint8_t command, std::span<const uint8_t> payload);
    void setConfig(std::span<const uint8_t> payload);

    std::array<uint8_t, 26> m_config{};
    uint32_t m_clockHz = 468'750;
};

}  // namespace velmor::emulator
