#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "ChipDatabase.h"
#include "Sfdp.h"

namespace velmor {

// A chip the simulator can put in the socket.
struct SimulatedChipType {
    std::string_view name;  // as written in the configuration, e.g. "25X80"
    uint32_t jedecId;       // 0xMMTTCC
    uint32_t size;          // bytes
};

// The kind the program understands as a 25-series chip, and the kind given to
// a chip whose size nobody knows.
inline constexpr int32_t kKind25Series = 5;
inline constexpr int32_t kKindOther = 1;

enum class IdentitySource { Unknown, Database, Sfdp };

// Who the chip in the socket is, and where that came from.
struct ChipInfo {
    uint32_t id = 0;
    IdentitySource source = IdentitySource::Unknown;
    std::string maker;  // empty unless from the database
    std::string parts;  // comma-separated, empty unless from the database
    uint32_t size = 0;  // 0: unknown
    uint32_t page = 256;
    uint32_t eraseSize = 0;  // smallest erase block; 0: unknown
    uint8_t eraseOpcode = 0;
    std::vector<EraseBlock> erase;  // every erase block, smallest first; empty: unknown
    uint32_t chipEraseMs = 0;       // typical whole-chip erase; 0: unknown
    bool lowVoltage = false;
    AddressMode address = AddressMode::Three;
};

// The answer of QuovixGetFlashInfo.
struct FlashInfoCode {
    int32_t kind;
    int32_t code;
};

std::span<const SimulatedChipType> simulatedChipTypes();

// Case-insensitive lookup of "25X10" .. "25X256".
const SimulatedChipType* findSimulatedChipType(std::string_view name);

// Database row first, then the SFDP table, else unknown: the id's capacity
// byte alone never sizes a chip.
ChipInfo identifyChip(uint32_t id, const ChipDatabase& database, const std::optional<SfdpInfo>& sfdp);

// kind 5 and code 16 + log2(size / 128 KiB) for a chip of known size; kind 1, code 0 otherwise.
FlashInfoCode flashInfoCode(const ChipInfo& info);

// Whether the chip takes four address bytes for every read and program.
bool needsFourByteAddress(AddressMode mode, uint32_t size);

}  // namespace velmor
