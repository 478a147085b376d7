#include <gtest/gtest.h>

#include <set>
#include <string>

#include "device/ChipModel.h"

namespace {

struct RowCase {
    int row;
    const char* text;
    uint32_t capacity;
    const char* label;
    const char* capacityText;
    const char* bitsText;
};

void PrintTo(const RowCase& c, std::ostream* os) {
    *os << c.text;
}

const RowCase kRows[] = {
    {0, "25X10", 131072, "128Kbytes", "128KB", "(1Mbits)"},
    {1, "25X20", 262144, "256Kbytes", "256KB", "(2Mbits)"},
    {2, "25X40", 524288, "512Kbytes", "512KB", "(4Mbits)"},
    {3, "25X80", 1048576, "1Mbytes", "1MB", "(8Mbits)"},
    {4, "25X16", 2097152, "2Mbytes", "2MB", "(16Mbits)"},
    {5, "25X32", 4194304, "4Mbytes", "4MB", "(32Mbits)"},
    {6, "25X64", 8388608, "8Mbytes", "8MB", "(64Mbits)"},
    {7, "25X128", 16777216, "16Mbytes", "16MB", "(128Mbits)"},
    {8, "25X256", 33554432, "32Mbytes", "32MB", "(256Mbits)"},
    {9, "25X512", 67108864, "64Mbytes", "64MB", "(512Mbits)"},
    {10, "25X01G", 134217728, "128Mbytes", "128MB", "(1024Mbits)"},
};

class ChipModelRowTest : public ::testing::TestWithParam<RowCase> {};

TEST_P(ChipModelRowTest, RowGivesCapacityLabelAndDetectionTexts) {
    const RowCase& c = GetParam();
    ASSERT_LT(static_cast<size_t>(c.row), kChipModels.size());
    EXPECT_STREQ(kChipModels[static_cast<size_t>(c.row)].text, c.text);
    EXPECT_EQ(kChipModels[static_cast<size_t>(c.row)].capacity, c.capacity);

    ChipModelSelection selection;
    selection.ApplyChipModel(c.row);
    EXPECT_EQ(selection.ChipCapacity(), c.capacity);
    EXPECT_EQ(selection.row(), c.row);
    EXPECT_EQ(CapacityLabelText(selection.ChipCapacity()), c.label);
    EXPECT_EQ(CapacityText(selection.ChipCapacity()), c.capacityText);
    EXPECT_EQ(BitsText(selection.ChipCapacity()), c.bitsText);
}

INSTANTIATE_TEST_SUITE_P(EveryRow, ChipModelRowTest, ::testing::ValuesIn(kRows),
                         [](const auto& info) { return std::string(info.param.text); });

TEST(ChipModelTable, SelfCheck) {
    std::set<std::string> names;
    for (size_t row = 0; row < kChipModels.size(); ++row) {
        EXPECT_EQ(kChipModels[row].capacity, ChipModelSelection::CapacityOfRow(static_cast<int>(row)));
        EXPECT_EQ(kChipModels[row].capacity, uint32_t{1} << (row + 17));
        EXPECT_TRUE(names.insert(kChipModels[row].text).second) << "duplicate " << kChipModels[row].text;
    }
    EXPECT_STREQ(kChipModels[kDefaultChipModelRow].text, "25X80");
}

TEST(ChipModelSelection, CapacityBeforeAnyRowIsApplied) {
    ChipModelSelection selection;
    EXPECT_EQ(selection.ChipCapacity(), 1048576u);
}

TEST(ChipModelSelection, NoSelectionWrapsTo64KiB) {
    ChipModelSelection selection;
    selection.ApplyChipModel(-1);
    EXPECT_EQ(selection.ChipCapacity(), 65536u);
    EXPECT_EQ(CapacityLabelText(65536), "64Kbytes");
    EXPECT_EQ(CapacityText(65536), "64KB");
    EXPECT_EQ(BitsText(65536), "(512Kbits)");
}

struct TextBoundary {
    uint32_t capacity;
    const char* label;
    const char* capacityText;
    const char* bitsText;
};

TEST(ChipModelTexts, UnitChangesAtOneMebibyteAndAtOneMebibit) {
    const TextBoundary cases[] = {
        {1024, "1Kbytes", "1KB", "(8Kbits)"},
        {131071, "127Kbytes", "127KB", "(1023Kbits)"},
        {131072, "128Kbytes", "128KB", "(1Mbits)"},
        {1048575, "1023Kbytes", "1023KB", "(7Mbits)"},
        {1048576, "1Mbytes", "1MB", "(8Mbits)"},
        {1572864, "1Mbytes", "1MB", "(12Mbits)"},
        {2147483648u, "2048Mbytes", "2048MB", "(16384Mbits)"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.capacity);
        EXPECT_EQ(CapacityLabelText(c.capacity), c.label);
        EXPECT_EQ(CapacityText(c.capacity), c.capacityText);
        EXPECT_EQ(BitsText(c.capacity), c.bitsText);
    }
}

}  // namespace
