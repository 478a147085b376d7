#include "image/ChangeLogView.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <string>
#include <vector>

#include "support/TempDirectory.h"

namespace {

using Outcome = ChangeLogView::Outcome;

std::vector<uint8_t> Bytes(const std::string& s) {
    return std::vector<uint8_t>(s.begin(), s.end());
}

// "修改" in GBK, and a line of the log as the saver writes it.
const std::string kXiuGai = "\xD0\xDE\xB8\xC4";
const std::string kLine = "\xB5\xD8\xD6\xB7 00000010: 00 -> FF\r\n";  // "地址 00000010: 00 -> FF"

TEST(ChangeLogViewTest, DecodesGbkAndEndsLinesWithNewline) {
    TempDirectory dir;
    const std::string path = dir.Write("log.txt", Bytes("\r\n" + kXiuGai + " a\r\n" + kLine + "lone\rcr"));
    const ChangeLogView v = ReadChangeLogView(path, kChangeLogViewLimit);
    EXPECT_EQ(v.outcome, Outcome::Read);
    EXPECT_FALSE(v.cut);
    EXPECT_EQ(v.text, "\n修改 a\n地址 00000010: 00 -> FF\nlone\rcr");
}

TEST(ChangeLogViewTest, LongLogShowsItsEndFromALineStart) {
    struct Case {
        size_t limit;
        bool cut;
        std::string text;
    };
    // 3 lines of 12 bytes each: "修改 line1\r\n" is 4 + 6 + 2.
    const std::string log = kXiuGai + " line1\r\n" + kXiuGai + " line2\r\n" + kXiuGai + " line3\r\n";
    ASSERT_EQ(log.size(), 36u);
    const Case cases[] = {
        {36, false, "修改 line1\n修改 line2\n修改 line3\n"},
        {100, false, "修改 line1\n修改 line2\n修改 line3\n"},
        {35, true, "修改 line2\n修改 line3\n"},  // the cut leaves a half character
        {24, true, "修改 line3\n"},              // cut exactly at a line start: that line is dropped too
        {25, true, "修改 line2\n修改 line3\n"},  // the cut falls just before a line end
        {11, true, ""},
        {0, true, ""},
    };
    TempDirectory dir;
    const std::string path = dir.Write("log.txt", Bytes(log));
    for (const Case& c : cases) {
        const ChangeLogView v = ReadChangeLogView(path, c.limit);
        EXPECT_EQ(v.outcome, Outcome::Read) << c.limit;
        EXPECT_EQ(v.cut, c.cut) << c.limit;
        EXPECT_EQ(v.text, c.text) << c.limit;
    }
}

TEST(ChangeLogViewTest, BrokenGbkBecomesQuestionMarksNotACrash) {
    TempDirectory dir;
    const std::string path = dir.Write("log.txt", Bytes("ok \xD0\r\n\xFF\xFF"));
    const ChangeLogView v = ReadChangeLogView(path, kChangeLogViewLimit);
    EXPECT_EQ(v.outcome, Outcome::Read);
    EXPECT_EQ(v.text.substr(0, 3), "ok ");
    EXPECT_EQ(v.text.find('\r'), std::string::npos);
    EXPECT_NE(v.text.find('?'), std::string::npos);
}

TEST(ChangeLogViewTest, EmptyMissingAndUnreadableLogs) {
    TempDirectory dir;
    const ChangeLogView empty = ReadChangeLogView(dir.Write("empty.txt", {}), kChangeLogViewLimit);
    EXPECT_EQ(empty.outcome, Outcome::Read);
    EXPECT_EQ(empty.text, "");
    EXPECT_EQ(ReadChangeLogView(dir.file("none.txt"), kChangeLogViewLimit).outcome, Outcome::Missing);
    // A directory in the log's place opens but cannot be read.
    const std::string sub = dir.file("sub");
    ASSERT_EQ(mkdir(sub.c_str(), 0755), 0);
    const ChangeLogView directory = ReadChangeLogView(sub, kChangeLogViewLimit);
    EXPECT_NE(directory.outcome, Outcome::Read);
    EXPECT_TRUE(directory.text.empty());
}

}  // namespace
