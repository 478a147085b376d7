#pragma once

#include "UsbSpiTransport.h"

namespace velmor {

// A CH341A in SPI mode (1a86:5512). Each chip-select cycle is one OUT
// transfer: a UIO packet that raises chip select, waits what the previous
// cycle asked for and lowers it again, then SPI packets of 31 bytes each. A
// batch submits every cycle and one IN transfer per SPI packet before reaping
// anything, so the device never idles waiting for the host. The SPI clock is
// fixed at about 1.5 MHz.
class Ch341aTransport : public UsbSpiTransport {
public:
    explicit Ch341aTransport(std::unique_ptr<UsbPort> port);
    ~Ch341aTransport() override;

    // Sets the stream speed and drives the pins; false when the device does not take it.
    bool start();

    bool selfTest() override;
    bool run(std::span<const SpiCycle> cycles) override;
    size_t maxReadLength() const override { return 4096; }
    size_t maxWriteLength() const override { return 4096; }
};

}  // namespace velmor
