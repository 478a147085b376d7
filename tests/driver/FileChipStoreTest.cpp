#include <filesystem>

#include <gtest/gtest.h>

#include "FileChipStore.h"
#include "VelmorTestSupport.h"

namespace velmor {
namespace {

using velmortest::pattern;
using velmortest::readFile;
using velmortest::WorkDirectory;
using velmortest::writeFile;

TEST(FileChipStoreTest, NewFileIsAnErasedChip)
{
    WorkDirectory dir;
    FileChipStore::Opened opened = FileChipStore::open("chip.bin", 4096);
    ASSERT_TRUE(opened.store) << opened.error;
    EXPECT_EQ(opened.contents, std::vector<uint8_t>(4096, 0xFF));
    EXPECT_EQ(readFile("chip.bin"), std::vector<uint8_t>(4096, 0xFF));
}

struct ResizeRow {
    uint32_t oldSize;
    uint32_t newSize;
};

class FileChipStoreResize : public testing::TestWithParam<ResizeRow> {};

TEST_P(FileChipStoreResize, KeepsWhatFitsAndPadsWithFF)
{
    const ResizeRow row = GetParam();
    WorkDirectory dir;
    const std::vector<uint8_t> old = pattern(row.oldSize, 1);
    writeFile("chip.bin", old);
    FileChipStore::Opened opened = FileChipStore::open("chip.bin", row.newSize);
    ASSERT_TRUE(opened.store) << opened.error;
    std::vector<uint8_t> expected(row.newSize, 0xFF);
    std::copy_n(old.begin(), std::min(row.oldSize, row.newSize), expected.begin());
    EXPECT_EQ(opened.contents, expected);
    EXPECT_EQ(readFile("chip.bin"), expected);
}

INSTANTIATE_TEST_SUITE_P(Sizes, FileChipStoreResize,
                         testing::Values(ResizeRow{0, 512}, ResizeRow{100, 512}, ResizeRow{512, 512},
                                         ResizeRow{4096, 512}, ResizeRow{513, 512}));

TEST(FileChipStoreTest, WritesLandAtTheirOffset)
{
    WorkDirectory dir;
    FileChipStore::Opened opened = FileChipStore::open("chip.bin", 1024);
    ASSERT_TRUE(opened.store);
    const std::vector<uint8_t> data{1, 2, 3};
    ASSERT_TRUE(opened.store->write(1021, data));
    const std::vector<uint8_t> file = readFile("chip.bin");
    ASSERT_EQ(file.size(), 1024u);
    EXPECT_EQ(file[1020], 0xFF);
    EXPECT_EQ(std::vector<uint8_t>(file.begin() + 1021, file.end()), data);
}

TEST(FileChipStoreTest, UnusablePathsAreRefusedWithAReason)
{
    WorkDirectory dir;
    std::filesystem::create_directory("dir.bin");
    FileChipStore::Opened directory = FileChipStore::open("dir.bin", 1024);
    EXPECT_FALSE(directory.store);
    EXPECT_EQ(directory.error, "dir.bin: cannot open: Is a directory");

    std::filesystem::create_symlink("/dev/null", "null.bin");
    FileChipStore::Opened device = FileChipStore::open("null.bin", 1024);
    EXPECT_FALSE(device.store);
    EXPECT_EQ(device.error, "null.bin: not a regular file");

    FileChipStore::Opened missing = FileChipStore::open("no/such/dir/chip.bin", 1024);
    EXPECT_FALSE(missing.store);
    EXPECT_EQ(missing.error, "no/such/dir/chip.bin: cannot open: No such file or directory");
}

} // namespace
} // namespace velmor
