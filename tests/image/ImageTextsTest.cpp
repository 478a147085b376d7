#include "image/ImageTexts.h"

#include <gtest/gtest.h>
#include <random>
#include <vector>

#include "image/FileImage.h"

namespace {

TEST(ImageTextsTest, ChecksumTextTable) {
    struct Case {
        uint64_t sum;
        const char* text;
    };
    const Case cases[] = {
        {0, "0000000000"},
        {16 * 0xFF, "0000000FF0"},
        {0x1FE, "00000001FE"},
        {0xFFFFFFFF, "00FFFFFFFF"},
        {0x100000000ull, "0100000000"},
        {0xFEFFFFFF01ull, "FEFFFFFF01"},  // largest sum of a 32-bit-long image
        {0xABCDEF12ull, "00ABCDEF12"},
    };
    for (const Case& c : cases) EXPECT_EQ(ChecksumText(c.sum), c.text) << std::hex << c.sum;
}

TEST(ImageTextsTest, SizeTextTable) {
    struct Case {
        uint32_t length;
        const char* text;
    };
    const Case cases[] = {
        {0, "0.00KB"},
        {100, "0.10KB"},
        {1024, "1.00KB"},
        {1048576, "1024.00KB"},
        {20, "0.02KB"},
        {1023, "1.00KB"},
        {0xFFFFFFFFu, "4194304.00KB"},
        {5, "0.00KB"},
    };
    for (const Case& c : cases) EXPECT_EQ(SizeText(c.length), c.text) << c.length;
}

TEST(ImageTextsTest, RowCountDoesNotWrap) {
    EXPECT_EQ(RowCountOf(0), 0u);
    EXPECT_EQ(RowCountOf(1), 1u);
    EXPECT_EQ(RowCountOf(16), 1u);
    EXPECT_EQ(RowCountOf(17), 2u);
    EXPECT_EQ(RowCountOf(0x80000141u), 134217749u);
    EXPECT_EQ(RowCountOf(0xFFFFFFFFu), 0x10000000u);
}

TEST(ImageTextsTest, ByteSumMatchesPlainSum) {
    std::mt19937 rng(7);
    std::vector<uint8_t> data(5000);
    for (auto& b : data) b = static_cast<uint8_t>(rng());
    // Lengths around the folding boundary (128 words of 8 bytes) and odd tails.
    for (size_t n : {0, 1, 7, 8, 9, 1023, 1024, 1025, 2048, 4999, 5000}) {
        uint64_t plain = 0;
        for (size_t i = 0; i < n; ++i) plain += data[i];
        EXPECT_EQ(ByteSum(data.data(), n), plain) << n;
        EXPECT_EQ(ByteSum(data.data() + 1, n ? n - 1 : 0), plain - (n ? data[0] : 0)) << "unaligned " << n;
    }
    std::vector<uint8_t> ff(4096, 0xFF);
    EXPECT_EQ(ByteSum(ff.data(), ff.size()), 4096u * 255);
}

TEST(ImageTextsTest, FileImageStartsEmptyAndKeepsChecksumTextInStep) {
    FileImage image;
    EXPECT_FALSE(image.loaded());
    EXPECT_EQ(image.length(), 0u);
    EXPECT_EQ(image.checksumText(), "0000000000");
    EXPECT_EQ(image.sizeText(), "0");
    EXPECT_EQ(image.nameText(), "空");
    EXPECT_EQ(image.displayPath(), "支持文件拖放...");
    image.SetChecksum(0x1FE);
    EXPECT_EQ(image.checksum(), 0x1FEu);
    EXPECT_EQ(image.checksumText(), "00000001FE");
    uint8_t b = 0;
    EXPECT_EQ(image.ReadSource(0, &b, 1), 0);  // no source: nothing read, no error
    EXPECT_EQ(image.SourceLength(), -1);
    EXPECT_EQ(image.ReadWork(0, &b, 1), -1);
}

}  // namespace
