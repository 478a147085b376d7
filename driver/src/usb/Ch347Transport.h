#pragma once

#include "UsbSpiTransport.h"

namespace velmor {

// A CH347T (1a86:55DB, interface 2) or CH347F (1a86:55DE, interface 4) in
// its vendor mode. Each chip-select cycle is a select frame (carrying the wait
// the previous cycle asked for), SPI out frames of up to 507 bytes, an SPI in
// frame and a deselect frame; a batch submits all frames and their answers'
// IN transfers before reaping anything.
class Ch347Transport : public UsbSpiTransport {
public:
    Ch347Transport(std::unique_ptr<UsbPort> port, uint32_t clockKhz);
    ~Ch347Transport() override;

    // Configures SPI mode 0, MSB first, the clock; false when the device does not answer.
    bool start();
    uint32_t clockHz() const;

    bool selfTest() override;
    bool run(std::span<const SpiCycle> cycles) override;
    size_t maxReadLength() const override { return 64 * 1024; }
    size_t maxWriteLength() const override { return 64 * 1024; }

private:
    uint8_t m_divisor;
};

}  // namespace velmor
