#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

#include "UsbPort.h"

// The CH347's SPI command frames as this library drives them. Every frame is
// one command byte, a 16-bit little-endian payload length and the payload, in
// one USB transfer of at most 510 bytes (so at most 507 payload bytes):
//   0xC0 set configuration (26 bytes; clock divisor in bits 5..3 of byte 12),
//        answered by a 0xC0 frame;
//   0xC1 chip-select control (10 bytes: five for CS1, five for CS2; byte 0
//        0x80 = change, |0x40 = deselect; bytes 1..2 microseconds to wait
//        after a select before clocking), no answer;
//   0xC4 SPI out (data clocked out, input ignored), answered by C4 01 00 00;
//   0xC3 SPI in (payload: 32-bit count), answered by 0xC3 frames of at most
//        507 bytes each until the count is reached;
//   0xCA read configuration (payload 01), answered by a 0xCA frame.
namespace velmor::ch347 {

inline constexpr uint16_t kVendorId = 0x1A86;
inline constexpr uint16_t kProductIdT = 0x55DB;
inline constexpr uint16_t kProductIdF = 0x55DE;
inline constexpr UsbEndpoints kEndpointsT{2, 0x06, 0x86};
inline constexpr UsbEndpoints kEndpointsF{4, 0x06, 0x86};

inline constexpr size_t kMaxFrame = 510;
inline constexpr size_t kHeader = 3;
inline constexpr size_t kMaxPayload = kMaxFrame - kHeader;  // 507

inline constexpr uint8_t kSetConfig = 0xC0;
inline constexpr uint8_t kChipSelect = 0xC1;
inline constexpr uint8_t kSpiIn = 0xC3;
inline constexpr uint8_t kSpiOut = 0xC4;
inline constexpr uint8_t kGetConfig = 0xCA;

inline constexpr uint8_t kCsChange = 0x80;
inline constexpr uint8_t kCsDeselect = 0x40;

inline constexpr size_t kConfigLength = 26;
inline constexpr uint32_t kBaseClockKhz = 60'000;
inline constexpr uint8_t kSlowestDivisor = 7;  // 60 MHz / 128
inline constexpr uint32_t kDefaultClockKhz = 15'000;

// Divisor exponent of the fastest clock not above `khz` (the slowest when all are above).
uint8_t divisorFor(uint32_t khz);
// 60 MHz >> exponent, in Hz.
uint32_t clockHz(uint8_t divisorExponent);

std::vector<uint8_t> configFrame(uint8_t divisorExponent);
std::array<uint8_t, 13> chipSelectFrame(bool select, uint16_t delayUs);
std::vector<uint8_t> outFrame(std::span<const uint8_t> payload);
std::array<uint8_t, 7> inFrame(uint32_t count);
std::array<uint8_t, 4> getConfigFrame();

}  // namespace velmor::ch347
