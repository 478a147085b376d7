#include <set>
#include <string>

#include <gtest/gtest.h>

#include "ChipCatalog.h"

namespace velmor {
namespace {

TEST(ChipCatalogTest, SimulatedChipsDoubleFrom128KiBTo32MiBWithMatchingIds) {
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

TEST(ChipCatalogTest, FamiliesAreUnique) {
    std::set<uint16_t> seen;
    for (const ChipFamily& family : chipFamilies()) {
        EXPECT_TRUE(seen.insert(static_cast<uint16_t>(family.manufacturer << 8 | family.memoryType)).second)
            << family.name;
    }
}

TEST(ChipCatalogTest, SizeFromCapacityByteCoversExactlyTheSupportedRange) {
    EXPECT_FALSE(sizeFromJedec(0xEF3010));
    EXPECT_EQ(sizeFromJedec(0xEF3011), 131072u);
    EXPECT_EQ(sizeFromJedec(0xEF4019), 33554432u);
    EXPECT_FALSE(sizeFromJedec(0xEF401A));
}

}  // namespace
}  // namespace velmor
