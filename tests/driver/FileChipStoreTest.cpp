#include <filesystem>

#include <gtest/gtest.h>

#include "FileChipStore.h"
#include "VelmorTestSupport.h"

namespace velmor {
namespace {

using velmortest::readFile;
using velmortest::WorkDirectory;

TEST(FileChipStoreTest, NewFileIsAnErasedChip) {
    WorkDirectory dir;
    FileChipStore::Opened opened = FileChipStore::open("chip.bin", 4096);
    ASSERT_TRUE(opened.store) << opened.error;
    EXPECT_EQ(opened.contents, std::vector<uint8_t>(4096, 0xFF));
    EXPECT_EQ(readFile("chip.bin"), std::vector<uint8_t>(4096, 0xFF));
}

TEST(FileChipStoreTest, WritesLandAtTheirOffset) {
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

TEST(FileChipStoreTest, UnusablePathsAreRefusedWithAReason) {
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

}  // namespace
}  // namespace velmor
