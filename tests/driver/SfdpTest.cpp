#include <vector>

#include <gtest/gtest.h>

#include "Sfdp.h"

namespace velmor {
namespace {

// A JESD216A table as a W25Q64-like chip answers it: basic table at 0x30, 16 DWORDs.
std::vector<uint8_t> table() {
    SfdpInfo info;
    info.size = 8u << 20;
    info.page = 256;
    info.erase = {{4096, 0x20}, {32768, 0x52}, {65536, 0xD8}};
    info.erase4kOpcode = 0x20;
    info.address = AddressMode::Three;
    std::vector<uint8_t> bytes = buildSfdp(info);
    bytes.resize(kSfdpReadLength, 0xFF);
    return bytes;
}

void putDword(std::vector<uint8_t>& bytes, size_t at, uint32_t value) {
    for (size_t i = 0; i < 4; ++i) {
        bytes[at + i] = static_cast<uint8_t>(value >> (8 * i));
    }
}

constexpr size_t kBasic = 0x30;
size_t dw(int n) {
    return kBasic + static_cast<size_t>(n - 1) * 4;
}

TEST(SfdpTest, ReadsDensityEraseTypesPageAndAddressMode) {
    const std::optional<SfdpInfo> info = parseSfdp(table());
    ASSERT_TRUE(info);
    EXPECT_EQ(info->size, 8u << 20);
    EXPECT_EQ(info->page, 256u);
    ASSERT_EQ(info->erase.size(), 3u);
    EXPECT_EQ(info->erase[0].size, 4096u);
    EXPECT_EQ(info->erase[0].opcode, 0x20);
    EXPECT_EQ(info->erase[1].size, 32768u);
    EXPECT_EQ(info->erase[1].opcode, 0x52);
    EXPECT_EQ(info->erase[2].size, 65536u);
    EXPECT_EQ(info->erase[2].opcode, 0xD8);
    EXPECT_EQ(info->erase4kOpcode, 0x20);
    EXPECT_EQ(info->address, AddressMode::Three);
}

TEST(SfdpTest, DensityInBothEncodings) {
    std::vector<uint8_t> bytes = table();
    putDword(bytes, dw(2), (16u << 20) * 8 - 1);  // bits minus one
    EXPECT_EQ(parseSfdp(bytes)->size, 16u << 20);
    putDword(bytes, dw(2), 0x80000000u | 30);  // 2^30 bits = 128 MiB
    EXPECT_EQ(parseSfdp(bytes)->size, 128u << 20);
    putDword(bytes, dw(2), 0x80000000u | 35);  // beyond what any part holds
    EXPECT_FALSE(parseSfdp(bytes));
    putDword(bytes, dw(2), 3 * 8 * 1024 * 1024 - 1);  // 3 MiB: no power of two
    EXPECT_FALSE(parseSfdp(bytes));
}

TEST(SfdpTest, EraseTypesAreSortedAndEmptyTypesSkipped) {
    std::vector<uint8_t> bytes = table();
    putDword(bytes, dw(8), 0xD8100000u);  // type 1 empty, type 2 = 64 KiB D8
    putDword(bytes, dw(9), 0x0000200Cu);  // type 3 = 4 KiB 20, type 4 empty
    const std::optional<SfdpInfo> info = parseSfdp(bytes);
    ASSERT_TRUE(info);
    ASSERT_EQ(info->erase.size(), 2u);
    EXPECT_EQ(info->erase[0].size, 4096u);
    EXPECT_EQ(info->erase[0].opcode, 0x20);
    EXPECT_EQ(info->erase[1].size, 65536u);
    putDword(bytes, dw(8), 0x00000004u);  // a 16-byte erase type: misread
    EXPECT_FALSE(parseSfdp(bytes));
}

TEST(SfdpTest, PageSizeFromDword11OrTheDefaultForAJesd216Table) {
    std::vector<uint8_t> bytes = table();
    putDword(bytes, dw(11), 0xFFFFFF9Fu);  // 2^9
    EXPECT_EQ(parseSfdp(bytes)->page, 512u);
    bytes[8 + 3] = 9;  // the original 9-DWORD table has no DWORD 11
    EXPECT_EQ(parseSfdp(bytes)->page, 256u);
}

TEST(SfdpTest, AddressModes) {
    std::vector<uint8_t> bytes = table();
    const uint32_t dw1 = 0xFFF020E5u & ~(3u << 17);
    putDword(bytes, dw(1), dw1 | 1u << 17);
    EXPECT_EQ(parseSfdp(bytes)->address, AddressMode::ThreeOrFour);
    putDword(bytes, dw(1), dw1 | 2u << 17);
    EXPECT_EQ(parseSfdp(bytes)->address, AddressMode::Four);
    putDword(bytes, dw(1), dw1 | 3u << 17);  // reserved
    EXPECT_FALSE(parseSfdp(bytes));
}

struct Damage {
    const char* name;
    size_t at;
    uint8_t value;
    size_t length;  // bytes kept
};

class SfdpDamaged : public testing::TestWithParam<Damage> {};

TEST_P(SfdpDamaged, IsIgnoredWhole) {
    std::vector<uint8_t> bytes = table();
    bytes[GetParam().at] = GetParam().value;
    bytes.resize(GetParam().length);
    EXPECT_FALSE(parseSfdp(bytes)) << GetParam().name;
}

INSTANTIATE_TEST_SUITE_P(Malformed, SfdpDamaged,
                         testing::Values(Damage{"bad signature", 0, 'X', kSfdpReadLength},
                                         Damage{"major revision 2", 5, 2, kSfdpReadLength},
                                         Damage{"truncated header", 0, 'S', 12},
                                         Damage{"table cut short", 0, 'S', kBasic + 8 * 4},
                                         Damage{"table pointer past the end", 12, 0xF0, kSfdpReadLength},
                                         Damage{"table pointer not DWORD-aligned", 12, 0x31, kSfdpReadLength},
                                         Damage{"table pointer into the headers", 12, 0x04, kSfdpReadLength},
                                         Damage{"first table not the basic one", 8, 0x84, kSfdpReadLength},
                                         Damage{"basic table too short", 11, 8, kSfdpReadLength},
                                         Damage{"nothing read", 0, 0xFF, 0}));

TEST(SfdpTest, ChipWithoutSfdpAnswersOnlyOnes) {
    EXPECT_FALSE(parseSfdp(std::vector<uint8_t>(kSfdpReadLength, 0xFF)));
}

}  // namespace
}  // namespace velmor
