#pragma once

#include <cstdint>
#include <string>

// Texts derived from an image, shared by the loader, the editor, the fill and save.

// "%2X%8X" of the upper and lower 32 bits, blanks replaced by "0": ten upper-case
// hex digits for any sum of a 32-bit-long image (0x1FE -> "00000001FE").
std::string ChecksumText(uint64_t checksum);

// "%0.2fKB" of length / 1024.0 (100 -> "0.10KB", 1048576 -> "1024.00KB").
std::string SizeText(uint32_t length);

// Row count of an image of `length` bytes: (length + 15) / 16, without 32-bit wrap.
inline uint32_t RowCountOf(uint32_t length) {
    return static_cast<uint32_t>((static_cast<uint64_t>(length) + 15) / 16);
}

// Sum of `count` bytes, each taken as 0..255.
uint64_t ByteSum(const uint8_t* data, size_t count);
