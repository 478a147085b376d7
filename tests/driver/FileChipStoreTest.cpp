#include <sys/stat.h>

#include <algorithm>
#include <filesystem>

#include <gtest/gtest.h>

#include "FileChipStore.h"
#include "VelmorTestSupport.h"

namespace velmor {
namespace {

TEST(FileChipStoreTest, NewFileIsAnErasedChip) {
    TempDirectory dir{TempUse::AsCurrent};
    FileChipStore::Opened opened = FileChipStore::open("chip.bin", 4096);
    ASSERT_TRUE(opened.store) << opened.error;
    EXPECT_EQ(opened.contents, std::vector<uint8_t>(4096, 0xFF));
    EXPECT_EQ(ReadBytes("chip.bin"), std::vector<uint8_t>(4096, 0xFF));
}

TEST(FileChipStoreTest, WritesLandAtTheirOffset) {
    TempDirectory dir{TempUse::AsCurrent};
    FileChipStore::Opened opened = FileChipStore::open("chip.bin", 1024);
    ASSERT_TRUE(opened.store);
    const std::vector<uint8_t> data{1, 2, 3};
    ASSERT_TRUE(opened.store->write(1021, data));
    const std::vector<uint8_t> file = ReadBytes("chip.bin");
    ASSERT_EQ(file.size(), 1024u);
    EXPECT_EQ(file[1020], 0xFF);
    EXPECT_EQ(std::vector<uint8_t>(file.begin() + 1021, file.end()), data);
}

TEST(FileChipStoreTest, UnusablePathsAreRefusedWithAReason) {
    TempDirectory dir{TempUse::AsCurrent};
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

// A configuration that names a smaller chip, even by a slip, must not cost the
// bytes beyond it: the file keeps them and a larger chip sees them again.
struct SizeCase {
    const char* name;
    uint32_t fileSize;
    uint32_t chipSize;
};

void PrintTo(const SizeCase& c, std::ostream* os) {
    *os << c.name;
}

class FileChipStoreSizes : public testing::TestWithParam<SizeCase> {};

TEST_P(FileChipStoreSizes, FileOnlyGrowsAndTheChipSeesItsFirstBytes) {
    const SizeCase row = GetParam();
    TempDirectory dir{TempUse::AsCurrent};
    const std::vector<uint8_t> old = velmortest::pattern(row.fileSize, 9);
    velmortest::writeFile("chip.bin", old);
    {
        FileChipStore::Opened opened = FileChipStore::open("chip.bin", row.chipSize);
        ASSERT_TRUE(opened.store) << opened.error;
        std::vector<uint8_t> expected(row.chipSize, 0xFF);
        std::copy_n(old.begin(), std::min(row.fileSize, row.chipSize), expected.begin());
        EXPECT_EQ(opened.contents, expected);
        const std::vector<uint8_t> zeros(16, 0x00);
        ASSERT_TRUE(opened.store->write(row.chipSize - 16, zeros));
    }
    std::vector<uint8_t> file = old;
    file.resize(std::max(row.fileSize, row.chipSize), 0xFF);
    std::fill_n(file.begin() + (row.chipSize - 16), 16, 0x00);
    EXPECT_EQ(ReadBytes("chip.bin"), file);
}

INSTANTIATE_TEST_SUITE_P(Sizes, FileChipStoreSizes,
                         testing::Values(SizeCase{"Smaller", 1 << 20, 128 << 10},
                                         SizeCase{"Same", 256 << 10, 256 << 10},
                                         SizeCase{"Larger", 128 << 10, 512 << 10},
                                         SizeCase{"Empty", 0, 4096}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(FileChipStoreTest, OneConnectionAtATimeHoldsTheFile) {
    TempDirectory dir{TempUse::AsCurrent};
    FileChipStore::Opened first = FileChipStore::open("chip.bin", 4096);
    ASSERT_TRUE(first.store) << first.error;
    EXPECT_FALSE(first.busy);

    FileChipStore::Opened second = FileChipStore::open("chip.bin", 4096);
    EXPECT_FALSE(second.store);
    EXPECT_TRUE(second.busy);
    EXPECT_EQ(second.error, "chip.bin: in use by another connection");

    first.store.reset();
    FileChipStore::Opened third = FileChipStore::open("chip.bin", 4096);
    EXPECT_TRUE(third.store) << third.error;
    EXPECT_FALSE(third.busy);
}

TEST(FileChipStoreTest, FifoInTheFilesPlaceIsRefusedWithoutBlocking) {
    TempDirectory dir{TempUse::AsCurrent};
    ASSERT_EQ(::mkfifo("chip.bin", 0644), 0);
    FileChipStore::Opened opened = FileChipStore::open("chip.bin", 4096);
    EXPECT_FALSE(opened.store);
    EXPECT_FALSE(opened.busy);
    EXPECT_EQ(opened.error, "chip.bin: not a regular file");
}

}  // namespace
}  // namespace velmor
