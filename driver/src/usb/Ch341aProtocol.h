#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

#include "UsbPort.h"

// The CH341A's bulk command stream as this library drives it. The device reads
// 32-byte packets; the first byte of each names a stream command that the rest
// of the packet feeds:
//   0xA8 SPI stream: every following byte is clocked out LSB first and the byte
//        clocked in answers it, one IN packet per SPI packet;
//   0xAA I2C stream: sub-commands up to 0x00, here only 0x60|speed;
//   0xAB UIO stream: sub-commands up to 0x20 (0x80|pins sets D0..D5, 0x40|mask
//        sets their direction, 0xC0|n waits n microseconds, n <= 63).
// D0 is chip select (low = selected), D3 SCK, D5 MOSI; D7 MISO.
namespace velmor::ch341a {

inline constexpr uint16_t kVendorId = 0x1A86;
inline constexpr uint16_t kProductId = 0x5512;
// The same chip strapped for serial (UART) mode: no SPI.
inline constexpr uint16_t kSerialProductId = 0x5523;
inline constexpr UsbEndpoints kEndpoints{0, 0x02, 0x82};

inline constexpr size_t kPacket = 32;
inline constexpr size_t kSpiBytesPerPacket = kPacket - 1;

inline constexpr uint8_t kSpiStream = 0xA8;
inline constexpr uint8_t kI2cStream = 0xAA;
inline constexpr uint8_t kUioStream = 0xAB;
inline constexpr uint8_t kI2cSet = 0x60;
inline constexpr uint8_t kI2cEnd = 0x00;
inline constexpr uint8_t kUioOut = 0x80;
inline constexpr uint8_t kUioDir = 0x40;
inline constexpr uint8_t kUioDelayUs = 0xC0;
inline constexpr uint8_t kUioEnd = 0x20;
inline constexpr uint8_t kMaxUioDelayUs = 63;

inline constexpr uint8_t kPinsDeselected = 0x37;  // CS (D0) high, the other outputs idle high
inline constexpr uint8_t kPinsSelected = 0x36;    // CS low
inline constexpr uint8_t kPinsOutputs = 0x3F;     // D0..D5 driven
// Stream speed 1 (the "100 kHz" I2C setting) gives SPI at about 1.5 MHz; the
// CH341A has no faster single-wire SPI setting.
inline constexpr uint8_t kSpeedSingle = 0x01;
inline constexpr uint32_t kSpiClockHz = 1'500'000;

// The CH341A shifts LSB first; flash chips want MSB first.
uint8_t reverseBits(uint8_t value);

// Packets that set the stream speed and drive the pins with chip select high.
std::vector<uint8_t> setupStream();

// Appends UIO packets (each padded to 32 bytes) that deselect the chip, wait
// `delayUs`, and select it again when `select` is set.
void appendChipSelect(std::vector<uint8_t>& stream, uint32_t delayUs, bool select);

// Appends SPI packets clocking out `out` then `inLength` filler bytes; the last
// packet is short, so nothing may follow it in the same transfer. Returns the
// number of SPI packets.
size_t appendSpi(std::vector<uint8_t>& stream, std::span<const uint8_t> out, size_t inLength);

// SPI packets needed for `bytes` bytes on the bus.
inline size_t spiPackets(size_t bytes) {
    return (bytes + kSpiBytesPerPacket - 1) / kSpiBytesPerPacket;
}

}  // namespace velmor::ch341a
