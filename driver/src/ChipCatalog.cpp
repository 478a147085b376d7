#include "ChipCatalog.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <cmath>

#include "SpiOpcodes.h"

namespace velmor {

namespace {

constexpr uint32_t KiB = 1024;
constexpr uint32_t MiB = 1024 * KiB;

// Winbond W25X parts for the sizes the program lists; the two big ones are
// W25Q parts, since no W25X comes that large.
constexpr std::array kChipTypes{
    SimulatedChipType{"25X10", 0xEF3011, 128 * KiB}, SimulatedChipType{"25X20", 0xEF3012, 256 * KiB},
    SimulatedChipType{"25X40", 0xEF3013, 512 * KiB}, SimulatedChipType{"25X80", 0xEF3014, 1 * MiB},
    SimulatedChipType{"25X16", 0xEF3015, 2 * MiB},   SimulatedChipType{"25X32", 0xEF3016, 4 * MiB},
    SimulatedChipType{"25X64", 0xEF3017, 8 * MiB},   SimulatedChipType{"25X128", 0xEF4018, 16 * MiB},
    SimulatedChipType{"25X256", 0xEF4019, 32 * MiB},
};

bool equalsIgnoringCase(std::string_view a, std::string_view b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return std::toupper(static_cast<unsigned char>(x)) ==
                      std::toupper(static_cast<unsigned char>(y));
           });
}

}  // namespace

std::span<const SimulatedChipType> simulatedChipTypes() {
    return kChipTypes;
}

const SimulatedChipType* findSimulatedChipType(std::string_view name) {
    for (const SimulatedChipType& type : kChipTypes) {
        if (equalsIgnoringCase(type.name, name)) {
            return &type;
        }
    }
    return nullptr;
}

ChipInfo identifyChip(uint32_t id, const ChipDatabase& database, const std::optional<SfdpInfo>& sfdp) {
    ChipInfo info;
    info.id = id;
    if (const ChipRow* row = database.find(id)) {
        info.source = IdentitySource::Database;
        info.maker = row->maker;
        info.parts = joinParts(row->parts);
        info.size = row->size;
        info.page = row->page;
        if (!row->erase.empty()) {
            info.eraseSize = row->erase.front().size;
            info.eraseOpcode = row->erase.front().opcode;
        }
        info.erase = row->erase;
        if (row->eraseSeconds) {
            info.chipEraseMs = static_cast<uint32_t>(std::lround(*row->eraseSeconds * 1000.0));
        }
        info.lowVoltage = row->lowVoltage;
        info.address = row->address;
    } else if (sfdp) {
        info.source = IdentitySource::Sfdp;
        info.size = sfdp->size;
        info.page = sfdp->page;
        if (!sfdp->erase.empty()) {
            info.eraseSize = sfdp->erase.front().size;
            info.eraseOpcode = sfdp->erase.front().opcode;
        }
        info.erase = sfdp->erase;
        info.address = sfdp->address;
    }
    return info;
}

FlashInfoCode flashInfoCode(const ChipInfo& info) {
    if (info.source == IdentitySource::Unknown || info.size == 0) {
        return {kKindOther, 0};
    }
    int32_t log2 = 0;
    while ((uint32_t{1} << log2) < info.size) {
        ++log2;
    }
    return {kKind25Series, log2 - 1};  // 16 + log2(size / 128 KiB)
}

bool needsFourByteAddress(AddressMode mode, uint32_t size) {
    return mode == AddressMode::Four || size > spi::kThreeByteLimit;
}

}  // namespace velmor
