#include <set>
#include <string>

#include <gtest/gtest.h>

#include "ChipCatalog.h"

namespace velmor {
namespace {

TEST(ChipCatalogTest, SimulatedChipsDoubleFrom128KiBTo32MiBWithMatchingIds)
{
    const auto types = simulatedChipTypes();
    ASSERT_EQ(types.size(), 9u);
    std::set<std::string_view> names;
    std::set<uint32_t> ids;
    uint32_t expected = 128 * 1024;
    for (const SimulatedChipType& type : types) {
        EXPECT_EQ(type.size, expected) << type.name;
        EXPECT_EQ(sizeFromJedec(type.jedecId), type.size) << type.name;
        EXPECT_EQ(identify(type.jedecId).kind, kKind25Series) << type.name;
        EXPECT_TRUE(names.insert(type.name).second) << "duplicate name " << type.name;
        EXPECT_TRUE(ids.insert(type.jedecId).second) << "duplicate id " << type.name;
        EXPECT_EQ(findSimulatedChipType(type.name), &type);
        expected *= 2;
    }
}

TEST(ChipCatalogTest, FamiliesAreUnique)
{
    std::set<uint16_t> seen;
    for (const ChipFamily& family : chipFamilies()) {
        EXPECT_TRUE(seen.insert(static_cast<uint16_t>(family.manufacturer << 8 | family.memoryType)).second)
            << family.name;
    }
}

TEST(ChipCatalogTest, LookupIgnoresCaseAndRejectsOthers)
{
    EXPECT_EQ(findSimulatedChipType("25x16")->size, 2u << 20);
    EXPECT_EQ(findSimulatedChipType("25X8"), nullptr);
    EXPECT_EQ(findSimulatedChipType(""), nullptr);
    EXPECT_EQ(findSimulatedChipType("25X800"), nullptr);
}

struct IdentityRow {
    uint32_t id;
    int32_t kind;
    int32_t code;
};

class ChipIdentityTest : public testing::TestWithParam<IdentityRow> {};

TEST_P(ChipIdentityTest, KindAndCodeFollowFamilyAndCapacityByte)
{
    const IdentityRow row = GetParam();
    const ChipIdentity identity = identify(row.id);
    EXPECT_EQ(identity.kind, row.kind);
    EXPECT_EQ(identity.code, row.code);
}

INSTANTIATE_TEST_SUITE_P(Ids, ChipIdentityTest,
                         testing::Values(IdentityRow{0xEF3011, 5, 16}, IdentityRow{0xEF3017, 5, 22},
                                         IdentityRow{0xEF4019, 5, 24}, IdentityRow{0xC22016, 5, 21},
                                         IdentityRow{0x202014, 5, 19}, IdentityRow{0x1C3115, 5, 20},
                                         IdentityRow{0xEF3010, 1, 0}, IdentityRow{0xEF301A, 1, 0},
                                         IdentityRow{0x9D4013, 1, 18}, IdentityRow{0xEF5014, 1, 19},
                                         IdentityRow{0xFFFFFF, 1, 0}, IdentityRow{0x000000, 1, 0}));

TEST(ChipCatalogTest, SizeFromCapacityByteCoversExactlyTheSupportedRange)
{
    EXPECT_FALSE(sizeFromJedec(0xEF3010));
    EXPECT_EQ(sizeFromJedec(0xEF3011), 131072u);
    EXPECT_EQ(sizeFromJedec(0xEF4019), 33554432u);
    EXPECT_FALSE(sizeFromJedec(0xEF401A));
}

} // namespace
} // namespace velmor
