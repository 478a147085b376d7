#include "ChipCatalog.h"

#include <algorithm>
#include <array>
#include <cctype>

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

constexpr std::array kFamilies{
    ChipFamily{0xEF, 0x30, "Winbond W25X"},    ChipFamily{0xEF, 0x40, "Winbond W25Q"},
    ChipFamily{0xEF, 0x60, "Winbond W25Q..W"}, ChipFamily{0xEF, 0x70, "Winbond W25Q..JV-M"},
    ChipFamily{0xC2, 0x20, "Macronix MX25L"},  ChipFamily{0xC8, 0x40, "GigaDevice GD25Q"},
    ChipFamily{0x1C, 0x30, "Eon EN25Q"},       ChipFamily{0x1C, 0x31, "Eon EN25F"},
    ChipFamily{0x20, 0x20, "Micron M25P"},     ChipFamily{0x20, 0xBA, "Micron N25Q"},
};

constexpr uint8_t kSmallestCapacity = 0x11;  // 128 KiB
constexpr uint8_t kLargestCapacity = 0x19;   // 32 MiB

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

std::span<const ChipFamily> chipFamilies() {
    return kFamilies;
}

const SimulatedChipType* findSimulatedChipType(std::string_view name) {
    for (const SimulatedChipType& type : kChipTypes) {
        if (equalsIgnoringCase(type.name, name)) {
            return &type;
        }
    }
    return nullptr;
}

std::optional<uint32_t> sizeFromJedec(uint32_t jedecId) {
    const uint8_t capacity = static_cast<uint8_t>(jedecId);
    if (capacity < kSmallestCapacity || capacity > kLargestCapacity) {
        return std::nullopt;
    }
    return uint32_t{1} << capacity;
}

ChipIdentity identify(uint32_t jedecId) {
    const uint8_t manufacturer = static_cast<uint8_t>(jedecId >> 16);
    const uint8_t memoryType = static_cast<uint8_t>(jedecId >> 8);
    const uint8_t capacity = static_cast<uint8_t>(jedecId);
    const bool sized = capacity >= kSmallestCapacity && capacity <= kLargestCapacity;
    const int32_t code = sized ? capacity - 1 : 0;
    const bool known = std::any_of(kFamilies.begin(), kFamilies.end(), [&](const ChipFamily& f) {
        return f.manufacturer == manufacturer && f.memoryType == memoryType;
    });
    return {known && sized ? kKind25Series : kKindOther, code};
}

}  // namespace velmor
