#include "Sfdp.h"

#include <algorithm>

namespace velmor {

namespace {

constexpr uint32_t kSignature = 0x50444653;  // "SFDP", little-endian
constexpr size_t kHeaderLength = 8;
constexpr size_t kParameterHeaderLength = 8;
constexpr uint32_t kMinBasicDwords = 9;  // JESD216 proper; later revisions have 16 or more
constexpr uint32_t kBasicTableAddress = 0x30;
constexpr uint32_t kBuiltDwords = 16;

uint32_t dword(std::span<const uint8_t> bytes, size_t at) {
    return uint32_t{bytes[at]} | uint32_t{bytes[at + 1]} << 8 | uint32_t{bytes[at + 2]} << 16 |
           uint32_t{bytes[at + 3]} << 24;
}

void putDword(std::vector<uint8_t>& bytes, size_t at, uint32_t value) {
    for (size_t i = 0; i < 4; ++i) {
        bytes[at + i] = static_cast<uint8_t>(value >> (8 * i));
    }
}

// Density: bit 31 clear = size in bits minus one; set = N with size 2^N bits.
std::optional<uint32_t> sizeFromDensity(uint32_t density) {
    uint64_t bits = 0;
    if ((density & 0x80000000u) == 0) {
        bits = uint64_t{density} + 1;
    } else {
        const uint32_t n = density & 0x7FFFFFFFu;
        if (n > 34) {
            return std::nullopt;
        }
        bits = uint64_t{1} << n;
    }
    // Whole bytes, a power of two from 64 KiB to 2 GiB: anything else is a misread.
    const uint64_t bytes = bits / 8;
    if (bits % 8 != 0 || bytes < 64 * 1024 || bytes > (uint64_t{1} << 31) || (bytes & (bytes - 1)) != 0) {
        return std::nullopt;
    }
    return static_cast<uint32_t>(bytes);
}

}  // namespace

std::optional<SfdpInfo> parseSfdp(std::span<const uint8_t> bytes) {
    if (bytes.size() < kHeaderLength + kParameterHeaderLength || dword(bytes, 0) != kSignature ||
        bytes[5] != 1) {
        return std::nullopt;
    }
    // The basic table is the first parameter header's: id LSB 0x00, major revision 1.
    const std::span<const uint8_t> header = bytes.subspan(kHeaderLength, kParameterHeaderLength);
    const uint32_t dwords = header[3];
    const uint32_t pointer = uint32_t{header[4]} | uint32_t{header[5]} << 8 | uint32_t{header[6]} << 16;
    if (header[0] != 0x00 || header[2] != 1 || dwords < kMinBasicDwords || pointer % 4 != 0 ||
        pointer < kHeaderLength + kParameterHeaderLength || uint64_t{pointer} + dwords * 4 > bytes.size()) {
        return std::nullopt;
    }
    const std::span<const uint8_t> table = bytes.subspan(pointer, dwords * 4);
    const auto dw = [&](uint32_t n) { return dword(table, (n - 1) * 4); };

    SfdpInfo info;
    const std::optional<uint32_t> size = sizeFromDensity(dw(2));
    if (!size) {
        return std::nullopt;
    }
    info.size = *size;
    switch ((dw(1) >> 17) & 3) {
        case 0:
            info.address = AddressMode::Three;
            break;
        case 1:
            info.address = AddressMode::ThreeOrFour;
            break;
        case 2:
            info.address = AddressMode::Four;
            break;
        default:
            return std::nullopt;
    }
    if ((dw(1) & 3) == 1) {
        info.erase4kOpcode = static_cast<uint8_t>(dw(1) >> 8);
    }
    for (const uint32_t word : {dw(8), dw(9)}) {
        for (const uint32_t half : {word & 0xFFFF, word >> 16}) {
            const uint32_t n = half & 0xFF;
            if (n == 0) {
                continue;  // erase type not present
            }
            if (n < 8 || n > 31 || (uint32_t{1} << n) > info.size) {
                return std::nullopt;
            }
            info.erase.push_back({uint32_t{1} << n, static_cast<uint8_t>(half >> 8)});
        }
    }
    std::sort(info.erase.begin(), info.erase.end(),
              [](const EraseBlock& a, const EraseBlock& b) { return a.size < b.size; });
    if (dwords >= 11) {
        info.page = uint32_t{1} << ((dw(11) >> 4) & 0xF);
    }
    return info;
}

std::vector<uint8_t> buildSfdp(const SfdpInfo& info) {
    std::vector<uint8_t> bytes(kBasicTableAddress + kBuiltDwords * 4, 0xFF);
    putDword(bytes, 0, kSignature);
    // JESD216A (1.6), one parameter header, access protocol 0xFF.
    bytes[4] = 6;
    bytes[5] = 1;
    bytes[6] = 0;
    bytes[7] = 0xFF;
    const uint8_t parameterHeader[kParameterHeaderLength] = {0x00, 6, 1,   kBuiltDwords, kBasicTableAddress,
                                                             0,    0, 0xFF};
    std::copy(std::begin(parameterHeader), std::end(parameterHeader), bytes.begin() + kHeaderLength);
    const auto put = [&](uint32_t n, uint32_t value) {
        putDword(bytes, kBasicTableAddress + (n - 1) * 4, value);
    };

    uint32_t dw1 = 0xFFF00000u | (info.erase4kOpcode ? (1u | uint32_t{*info.erase4kOpcode} << 8) : 0xFF03u);
    dw1 |= (info.address == AddressMode::Three         ? 0u
            : info.address == AddressMode::ThreeOrFour ? 1u
                                                       : 2u)
           << 17;
    put(1, dw1);
    if (info.size < (uint32_t{1} << 29)) {
        put(2, info.size * 8 - 1);
    } else {
        uint32_t bitsExponent = 3;
        while ((uint32_t{1} << (bitsExponent - 3)) < info.size) {
            ++bitsExponent;
        }
        put(2, 0x80000000u | bitsExponent);
    }
    uint32_t types[4] = {0, 0, 0, 0};
    for (size_t i = 0; i < info.erase.size() && i < 4; ++i) {
        uint32_t n = 0;
        while ((uint32_t{1} << n) < info.erase[i].size) {
            ++n;
        }
        types[i] = n | uint32_t{info.erase[i].opcode} << 8;
    }
    put(8, types[0] | types[1] << 16);
    put(9, types[2] | types[3] << 16);
    uint32_t pageExponent = 0;
    while ((uint32_t{1} << pageExponent) < info.page) {
        ++pageExponent;
    }
    put(11, 0xFFFFFF0Fu | pageExponent << 4);
    return bytes;
}

}  // namespace velmor
