#include "platform/Gbk.h"

#include <gtest/gtest.h>
#include <string>
#include <thread>
#include <vector>

namespace {

std::string Bytes(std::initializer_list<int> b) {
    std::string s;
    for (int v : b) s.push_back(static_cast<char>(v));
    return s;
}

TEST(GbkTest, Utf8ToGbkTable) {
    struct Case {
        std::string utf8;
        std::string gbk;
    };
    const std::vector<Case> cases = {
        {"", ""},
        {"abc/.bin", "abc/.bin"},
        {"空", Bytes({0xBF, 0xD5})},
        {"修改记录.txt", Bytes({0xD0, 0xDE, 0xB8, 0xC4, 0xBC, 0xC7, 0xC2, 0xBC}) + ".txt"},
        {"芯片A", Bytes({0xD0, 0xBE, 0xC6, 0xAC, 'A'})},
        {"乗", Bytes({0x81, 0x5C})},  // the second byte is a backslash
        // Not in GBK: one '?' per character, whatever its UTF-8 length.
        {"a😀b", "a?b"},
        {"한", "?"},
        {"x\xE2\x82\xACy", "x" + Bytes({0x80}) + "y"},  // euro sign is 0x80 in code page 936
    };
    for (const Case& c : cases) EXPECT_EQ(Gbk::FromUtf8(c.utf8), c.gbk) << c.utf8;
}

TEST(GbkTest, MalformedUtf8BecomesOneReplacementPerByte) {
    EXPECT_EQ(Gbk::FromUtf8(Bytes({'a', 0xFF, 'b'})), "a?b");
    EXPECT_EQ(Gbk::FromUtf8(Bytes({0xE4, 0xB8})), "??");  // truncated three-byte sequence
    EXPECT_EQ(Gbk::FromUtf8(Bytes({0xE4, 'x', 0xB8})), "?x?");
}

TEST(GbkTest, GbkToUtf8RoundTripAndMalformed) {
    for (std::string text : {"文件打开失败", "芯片内数据，尚未保存!", "所有文件(*.*)", "乗\\x"})
        EXPECT_EQ(Gbk::ToUtf8(Gbk::FromUtf8(text)), text);
    EXPECT_EQ(Gbk::ToUtf8(Bytes({'a', 0xFF, 'b'})), "a?b");
    EXPECT_EQ(Gbk::ToUtf8(Bytes({0xD0})), "?");  // lead byte cut off at the end
}

TEST(GbkTest, LengthCountsGbkBytes) {
    struct Case {
        std::string utf8;
        size_t length;
    };
    const std::vector<Case> cases = {
        {"", 0}, {"abc", 3}, {"中文", 4}, {"a中b", 4}, {"😀", 1}, {"全角，", 6}, {"\xFF", 1},
    };
    for (const Case& c : cases) EXPECT_EQ(Gbk::Length(c.utf8), c.length) << c.utf8;
    size_t utf8Bytes = 0;
    EXPECT_EQ(Gbk::CharLength("中x", utf8Bytes), 2u);
    EXPECT_EQ(utf8Bytes, 3u);
    EXPECT_EQ(Gbk::CharLength("x中", utf8Bytes), 1u);
    EXPECT_EQ(utf8Bytes, 1u);
    EXPECT_EQ(Gbk::CharLength("😀", utf8Bytes), 1u);
    EXPECT_EQ(utf8Bytes, 4u);
    EXPECT_EQ(Gbk::CharLength("", utf8Bytes), 0u);
    EXPECT_EQ(utf8Bytes, 0u);
}

TEST(GbkTest, LongTextGrowsOutputBuffer) {
    std::string text;
    for (int i = 0; i < 5000; ++i) text += "数据😀";
    std::string gbk = Gbk::FromUtf8(text);
    EXPECT_EQ(gbk.size(), 5000u * 5);
    EXPECT_EQ(gbk.substr(0, 5), Bytes({0xCA, 0xFD, 0xBE, 0xDD, '?'}));
}

TEST(GbkTest, ConvertersArePerThread) {
    std::vector<std::thread> threads;
    std::vector<int> ok(4, 0);
    for (int t = 0; t < 4; ++t)
        threads.emplace_back([&ok, t] {
            for (int i = 0; i < 2000; ++i)
                if (Gbk::ToUtf8(Gbk::FromUtf8("读取成功！")) == "读取成功！") ++ok[t];
        });
    for (auto& th : threads) th.join();
    for (int v : ok) EXPECT_EQ(v, 2000);
}

}  // namespace
