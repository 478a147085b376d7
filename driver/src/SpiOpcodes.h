#pragma once

#include <cstdint>

namespace velmor::spi {

// The 25-series command set the library uses.
inline constexpr uint8_t kWriteStatus = 0x01;
inline constexpr uint8_t kPageProgram = 0x02;
inline constexpr uint8_t kRead = 0x03;
inline constexpr uint8_t kWriteDisable = 0x04;
inline constexpr uint8_t kReadStatus = 0x05;
inline constexpr uint8_t kWriteEnable = 0x06;
inline constexpr uint8_t kPageProgram4Byte = 0x12;
inline constexpr uint8_t kRead4Byte = 0x13;
inline constexpr uint8_t kChipErase = 0xC7;
inline constexpr uint8_t kChipEraseAlt = 0x60;
inline constexpr uint8_t kJedecId = 0x9F;
inline constexpr uint8_t kReadSfdp = 0x5A;  // 3 address bytes and one dummy byte
inline constexpr uint8_t kEnter4ByteMode = 0xB7;
inline constexpr uint8_t kExit4ByteMode = 0xE9;
// Block erases: 4 KiB, 32 KiB and 64 KiB, and their four-address-byte forms.
inline constexpr uint8_t kErase4K = 0x20;
inline constexpr uint8_t kErase32K = 0x52;
inline constexpr uint8_t kErase64K = 0xD8;
inline constexpr uint8_t kErase4K4Byte = 0x21;
inline constexpr uint8_t kErase32K4Byte = 0x5C;
inline constexpr uint8_t kErase64K4Byte = 0xDC;

// Status register bits.
inline constexpr uint8_t kStatusBusy = 0x01;          // WIP
inline constexpr uint8_t kStatusWriteEnabled = 0x02;  // WEL
inline constexpr uint8_t kStatusBp0 = 0x04;
inline constexpr uint8_t kStatusBp1 = 0x08;
inline constexpr uint8_t kStatusBp2 = 0x10;
inline constexpr uint8_t kStatusBpMask = kStatusBp0 | kStatusBp1 | kStatusBp2;
// Bits that protect blocks on the 25-series parts the library meets: BP0..BP2,
// and BP3 (or TB) above them. Bit 6 is left alone: on some parts it is the
// quad-enable bit a board may rely on.
inline constexpr uint8_t kStatusProtectMask = 0x3C;
inline constexpr uint8_t kStatusRegisterProtect = 0x80;  // SRP: with WP low the register is locked

inline constexpr uint32_t kPageSize = 256;
// Chips above this size need four address bytes.
inline constexpr uint32_t kThreeByteLimit = 16u * 1024 * 1024;

}  // namespace velmor::spi
