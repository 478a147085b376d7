#include "image/ChangeLog.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "image/ChangeLogFormat.h"
#include "platform/File.h"
#include "support/TempDirectory.h"

namespace {

std::string Text(const std::vector<uint8_t>& bytes) {
    return std::string(bytes.begin(), bytes.end());
}

TEST(ChangeLogFormatTest, ChangeLines) {
    struct Row {
        uint32_t address;
        int old;
        uint8_t now;
        std::string line;
    };
    const Row rows[] = {
        {0x1A, 0xFF, 0x00, "        [0000001A]: FF --> 00\r\n"},
        {0x1387, -1, 0xAB, "        [00001387]: null --> AB\r\n"},
        {0, 0x0F, 0xF0, "        [00000000]: 0F --> F0\r\n"},
        {0xFFFFFFFE, 0x00, 0x9C, "        [FFFFFFFE]: 00 --> 9C\r\n"},
        {0x80000000, -1, 0x00, "        [80000000]: null --> 00\r\n"},
    };
    for (const Row& row : rows) {
        char out[ChangeLogFormat::kChangeLineMax];
        const size_t n = ChangeLogFormat::ChangeLine(row.address, row.old, row.now, out);
        EXPECT_EQ(std::string(out, n), row.line);
    }
}

TEST(ChangeLogFormatTest, StampHeadsAndChipLine) {
    std::tm t{};
    t.tm_year = 2024 - 1900;
    t.tm_mon = 0;
    t.tm_mday = 2;
    t.tm_hour = 3;
    t.tm_min = 4;
    t.tm_sec = 5;
    const std::string stamp = ChangeLogFormat::Stamp(t);
    EXPECT_EQ(stamp, "    2024-01-02 03:04:05");
    const std::string begin = "\r\n" + std::string(39, '-') + "BEGIN" + std::string(39, '-') + "\r\n";
    EXPECT_EQ(begin.size(), 2u + 83u + 2u);
    // File names are GBK bytes; a character GBK lacks becomes '?'.
    EXPECT_EQ(
        ChangeLogFormat::FileHead(stamp, "固件.bin"),
        begin + stamp + " \xB9\xCC\xBC\xFE.bin \xCE\xC4\xBC\xFE\xD0\xDE\xB8\xC4\xC8\xE7\xCF\xC2\xA3\xBA\r\n");
    EXPECT_EQ(ChangeLogFormat::FileHead(stamp, "a\xF0\x9F\x98\x80.bin"),
              begin + stamp + " a?.bin \xCE\xC4\xBC\xFE\xD0\xDE\xB8\xC4\xC8\xE7\xCF\xC2\xA3\xBA\r\n");
    EXPECT_EQ(ChangeLogFormat::ChipHead(stamp),
              begin + stamp +
                  " \xD0\xBE\xC6\xAC\xC4\xDA\xCA\xFD\xBE\xDD\xB1\xA3\xB4\xE6\xC8\xE7\xCF\xC2\xA3\xBA\r\n");
    EXPECT_EQ(ChangeLogFormat::ChipLine("a.bin"),
              "        [\xC6\xAC\xC4\xDA\xCA\xFD\xBE\xDD]\xB1\xA3\xB4\xE6\xCE\xAA[a.bin]\r\n");
    EXPECT_EQ(ChangeLogFormat::kBlockEnd, std::string(40, '-') + "END" + std::string(40, '-'));
}

TEST(ChangeLogTest, StartUpCreatesAMissingLogAndKeepsAnExistingOne) {
    TempDirectory dir;
    ChangeLog missing(dir.file("new.txt"));
    EXPECT_TRUE(missing.CreateIfMissing());
    EXPECT_TRUE(ReadBytes(dir.file("new.txt")).empty());
    ChangeLog existing(dir.Write("old.txt", {'a', 'b'}));
    EXPECT_TRUE(existing.CreateIfMissing());
    EXPECT_EQ(Text(ReadBytes(dir.file("old.txt"))), "ab");
    ChangeLog nowhere(dir.file("no-such-dir/log.txt"));
    EXPECT_FALSE(nowhere.CreateIfMissing());
}

// Appends land at the end, in order, across many fillings of the buffer and with
// pieces larger than the buffer; nothing reaches the file twice.
TEST(ChangeLogTest, AppendsInOrderAcrossBufferFillings) {
    TempDirectory dir;
    ChangeLog log(dir.Write("log.txt", {'x'}));
    ASSERT_TRUE(log.Open());
    std::string expected = "x";
    const std::string big(ChangeLog::kBufferBytes + 17, 'B');
    for (uint32_t i = 0; i < 20000; ++i) {
        ASSERT_TRUE(log.AppendChange(i, static_cast<int>(i % 300) - 44, static_cast<uint8_t>(i)));
        char line[ChangeLogFormat::kChangeLineMax];
        expected.append(line, ChangeLogFormat::ChangeLine(i, static_cast<int>(i % 300) - 44,
                                                          static_cast<uint8_t>(i), line));
        if (i == 12345) {
            ASSERT_TRUE(log.Append(big));
            expected += big;
        }
    }
    ASSERT_TRUE(log.Append("end"));
    expected += "end";
    ASSERT_TRUE(log.Sync());
    log.Close();
    EXPECT_EQ(Text(ReadBytes(dir.file("log.txt"))), expected);
}

// A log deleted while the program runs is made again by the next save.
TEST(ChangeLogTest, OpenMakesAMissingLogAgain) {
    TempDirectory dir;
    ChangeLog log(dir.file("log.txt"));
    ASSERT_TRUE(log.Open());
    ASSERT_TRUE(log.Append("a"));
    ASSERT_TRUE(log.Sync());
    log.Close();
    EXPECT_EQ(Text(ReadBytes(dir.file("log.txt"))), "a");
}

}  // namespace
