#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <vector>

#include "ChipDatabase.h"

namespace velmor {

// What a chip's SFDP basic flash parameter table (JESD216) says about it.
struct SfdpInfo {
    uint32_t size = 0;
    uint32_t page = 256;            // DWORD 11 where the table has it
    std::vector<EraseBlock> erase;  // erase types, smallest first
    std::optional<uint8_t> erase4kOpcode;
    AddressMode address = AddressMode::Three;
};

// One SFDP read of this many bytes from address 0 covers the header, the
// parameter headers and the basic table of every chip met so far.
inline constexpr uint32_t kSfdpReadLength = 256;

// The basic table found through the first parameter header of `bytes` (read
// from SFDP address 0); nullopt when anything is malformed or lies outside
// `bytes`: a table is trusted whole or not at all.
std::optional<SfdpInfo> parseSfdp(std::span<const uint8_t> bytes);

// An SFDP area (header, one parameter header, a JESD216A basic table of 16
// DWORDs) describing `info`, as a chip would answer it.
std::vector<uint8_t> buildSfdp(const SfdpInfo& info);

}  // namespace velmor
