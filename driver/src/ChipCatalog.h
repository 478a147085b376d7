#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string_view>

namespace velmor {

// A chip the simulator can put in the socket.
struct SimulatedChipType {
    std::string_view name;  // as written in the configuration, e.g. "25X80"
    uint32_t jedecId;       // 0xMMTTCC
    uint32_t size;          // bytes
};

// A manufacturer and memory type whose parts are 25-series chips with the
// capacity byte = log2(size in bytes).
struct ChipFamily {
    uint8_t manufacturer;
    uint8_t memoryType;
    std::string_view name;
};

// The kind the program understands as a 25-series chip, and the kind given to
// everything else.
inline constexpr int32_t kKind25Series = 5;
inline constexpr int32_t kKindOther = 1;

// The answer of QuovixGetFlashInfo for a JEDEC id.
struct ChipIdentity {
    int32_t kind;
    int32_t code;
};

std::span<const SimulatedChipType> simulatedChipTypes();
std::span<const ChipFamily> chipFamilies();

// Case-insensitive lookup of "25X10" .. "25X256".
const SimulatedChipType* findSimulatedChipType(std::string_view name);

// Chip size from the capacity byte, for 128 KiB (0x11) up to 32 MiB (0x19).
std::optional<uint32_t> sizeFromJedec(uint32_t jedecId);

// kind 5 and code 16..24 for a known family with capacity byte 0x11..0x19;
// kind 1 otherwise, with the same capacity code or 0 when the byte is out of range.
ChipIdentity identify(uint32_t jedecId);

}  // namespace velmor
