#include "image/FileImage.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <vector>

#include "image/ImageTexts.h"
#include "support/TempDirectory.h"

namespace {

// Fails the Nth write from now (1 = the next one) with ENOSPC; 0 = never.
std::atomic<int> g_writesUntilFailure{0};

int FailNthWrite(const File&, uint64_t, size_t, bool write) {
    if (!write || g_writesUntilFailure == 0) return 0;
    return --g_writesUntilFailure == 0 ? ENOSPC : 0;
}

class FileImageTest : public ::testing::Test {
protected:
    void SetUp() override {
        bytes.resize(20);
        for (size_t i = 0; i < bytes.size(); ++i) bytes[i] = static_cast<uint8_t>(0x30 + i);
        path = dir.Write("h_alor1.dll", bytes);
        ASSERT_TRUE(image.workCopy().Open(path, File::Mode::ReadWrite));
        image.SetLength(20);
        image.SetSizeText(SizeText(20));
        image.SetChecksum(ByteSum(bytes.data(), bytes.size()));
    }
    void TearDown() override {
        File::SetFaultHook(nullptr);
        g_writesUntilFailure = 0;
    }

    // Length, checksum and texts describe the work copy as it is on disk.
    void ExpectConsistent() {
        const std::vector<uint8_t> work = ReadBytes(path);
        EXPECT_EQ(image.length(), work.size());
        EXPECT_EQ(image.checksum(), ByteSum(work.data(), work.size()));
        EXPECT_EQ(image.checksumText(), ChecksumText(image.checksum()));
        EXPECT_EQ(image.sizeText(), SizeText(image.length()));
    }

    TempDirectory dir;
    std::vector<uint8_t> bytes;
    std::string path;
    FileImage image;
};

TEST_F(FileImageTest, ExtendWithFFGrowsWithFFOnly) {
    // Sizes across the 64 KiB pieces of a growth.
    for (uint64_t length : {20ull, 21ull, 40ull, 65536ull + 20, 3 * 65536ull + 7}) {
        ASSERT_TRUE(image.ExtendWithFF(length)) << length;
        const std::vector<uint8_t> work = ReadBytes(path);
        ASSERT_EQ(work.size(), length);
        EXPECT_TRUE(std::equal(bytes.begin(), bytes.end(), work.begin()));
        EXPECT_TRUE(std::all_of(work.begin() + 20, work.end(), [](uint8_t b) { return b == 0xFF; }))
            << length;
        ExpectConsistent();
    }
    // Not longer: nothing changes.
    ASSERT_TRUE(image.ExtendWithFF(10));
    EXPECT_EQ(image.length(), 3 * 65536u + 7);
}

TEST_F(FileImageTest, ExtendWithFFRefusesLengthsBeyond32Bits) {
    for (uint64_t length : {0x100000000ull, 0x100000001ull, ~0ull}) {
        EXPECT_FALSE(image.ExtendWithFF(length)) << length;
        EXPECT_EQ(ReadBytes(path), bytes);
        EXPECT_EQ(image.length(), 20u);
    }
}

TEST_F(FileImageTest, ExtendWithFFReachesExactly4GiBMinus1) {
    ASSERT_TRUE(image.workCopy().Truncate(0xFFFFFF00u));  // sparse
    image.SetLength(0xFFFFFF00u);
    const uint64_t sum = image.checksum();
    ASSERT_TRUE(image.ExtendWithFF(0xFFFFFFFFull));
    EXPECT_EQ(image.length(), 0xFFFFFFFFu);
    EXPECT_EQ(image.checksum(), sum + 0xFFull * 0xFF);
    EXPECT_EQ(image.workCopy().Size(), 0xFFFFFFFF);
    EXPECT_FALSE(image.WriteByte(0xFFFFFFFFull, 0x12));
    EXPECT_EQ(image.workCopy().Size(), 0xFFFFFFFF);
    EXPECT_TRUE(image.WriteByte(0xFFFFFFFEull, 0x12));
    EXPECT_EQ(image.checksum(), sum + 0xFEull * 0xFF + 0x12);
}

// A write that fails part-way (disk full) is taken back: the work copy keeps its
// old length and the checksum still describes it.
TEST_F(FileImageTest, FailedGrowthIsTakenBack) {
    File::SetFaultHook(FailNthWrite);
    for (int failing : {1, 2, 3}) {
        g_writesUntilFailure = failing;
        EXPECT_FALSE(image.ExtendWithFF(3 * 65536ull + 100)) << failing;
        EXPECT_EQ(ReadBytes(path), bytes) << failing;
        ExpectConsistent();
    }
}

TEST_F(FileImageTest, WriteByteInsideAtTheEndAndPastIt) {
    const struct {
        uint64_t offset;
        uint8_t value;
        size_t length;
    } rows[] = {{3, 0xA5, 20}, {19, 0x00, 20}, {20, 0x7E, 21}, {40, 0x5F, 41}, {0, 0x30, 41}};
    std::vector<uint8_t> expected = bytes;
    for (const auto& row : rows) {
        ASSERT_TRUE(image.WriteByte(row.offset, row.value)) << row.offset;
        if (expected.size() <= row.offset) expected.resize(row.offset + 1, 0xFF);
        expected[row.offset] = row.value;
        EXPECT_EQ(ReadBytes(path), expected) << row.offset;
        EXPECT_EQ(image.length(), row.length);
        ExpectConsistent();
    }
}

TEST_F(FileImageTest, FailedWriteByteChangesNothing) {
    File::SetFaultHook(FailNthWrite);
    // Inside: the byte itself fails. Past the end: the gap, or the byte after the gap.
    const struct {
        uint64_t offset;
        int failing;
    } rows[] = {{5, 1}, {20, 1}, {40, 1}, {40, 2}};
    for (const auto& row : rows) {
        g_writesUntilFailure = row.failing;
        EXPECT_FALSE(image.WriteByte(row.offset, 0x11)) << row.offset << "/" << row.failing;
        EXPECT_EQ(ReadBytes(path), bytes) << row.offset << "/" << row.failing;
        ExpectConsistent();
    }
}

}  // namespace
