#include "image/DisplayPath.h"

#include <gtest/gtest.h>
#include <string>

#include "platform/Gbk.h"

namespace {

TEST(DisplayPathTest, WindowsWorkedExample) {
    const std::string path = "D:\\Projects\\Firmware\\Release\\2023\\Board-A\\image_v1.2.3_final.bin";
    ASSERT_EQ(path.size(), 64u);
    const std::string shown = WindowsDisplayPathOf(path);
    EXPECT_EQ(shown, "D:\\...\\Release\\2023\\Board-A\\image_v1.2.3_final.bin");
    EXPECT_EQ(shown.size(), 50u);
}

// A POSIX path of exactly `bytes` GBK bytes: /home/<x...>/f.bin
std::string PosixPathOf(size_t bytes) {
    return "/home/" + std::string(bytes - 12, 'x') + "/f.bin";
}

TEST(DisplayPathTest, FiftyThreeBytesStayFiftyFourAreShortened) {
    const std::string p53 = PosixPathOf(53), p54 = PosixPathOf(54);
    ASSERT_EQ(p53.size(), 53u);
    ASSERT_EQ(p54.size(), 54u);
    EXPECT_EQ(DisplayPathOf(p53), p53);
    // The root slash goes first; that is enough to get to 53.
    EXPECT_EQ(DisplayPathOf(p54), "/.../home/" + std::string(42, 'x') + "/f.bin");

    const std::string w53 = "D:\\" + std::string(44, 'y') + "\\a.bin";
    ASSERT_EQ(w53.size(), 53u);
    EXPECT_EQ(WindowsDisplayPathOf(w53), w53);
    EXPECT_EQ(WindowsDisplayPathOf("D:\\y" + w53.substr(3)), "D:\\...\\" + std::string(45, 'y') + "\\a.bin");
}

TEST(DisplayPathTest, PosixDropsLeadingDirectories) {
    const std::string path = "/home/user/projects/firmware/release/2023/board/img.bin";
    ASSERT_EQ(path.size(), 55u);
    EXPECT_EQ(DisplayPathOf(path), "/.../user/projects/firmware/release/2023/board/img.bin");
    const std::string deeper = "/home/someone/projects/firmware/release/2023/board/image_final.bin";
    EXPECT_EQ(DisplayPathOf(deeper), "/.../projects/firmware/release/2023/board/image_final.bin");
}

TEST(DisplayPathTest, CountsDoubleByteCharactersAsTwo) {
    // 3 UTF-8 bytes per character but 2 in GBK: 53 GBK bytes stay.
    const std::string p = "/数据/" + std::string(18, 'a') + "/固件镜像文件第一版本最终.bin";
    ASSERT_EQ(Gbk::Length(p), 53u);
    ASSERT_GT(p.size(), 53u);
    EXPECT_EQ(DisplayPathOf(p), p);
    const std::string p55 = "/数据/" + std::string(20, 'a') + "/固件镜像文件第一版本最终.bin";
    ASSERT_EQ(Gbk::Length(p55), 55u);
    // Root slash (54), then "数据/" (49).
    EXPECT_EQ(DisplayPathOf(p55), "/.../" + std::string(20, 'a') + "/固件镜像文件第一版本最终.bin");
}

TEST(DisplayPathTest, SecondByte5CIsNoSeparator) {
    // "乗" is 0x81 0x5C in GBK: a byte-wise search would cut it in half.
    std::string dir;
    for (int i = 0; i < 30; ++i) dir += "乗";
    const std::string path = "D:\\" + dir + "\\image.bin";
    ASSERT_EQ(Gbk::Length(path), 73u);
    EXPECT_EQ(WindowsDisplayPathOf(path), "D:\\...\\image.bin");
    // A name of those characters is never split either.
    const std::string name = "D:\\a\\" + dir + ".bin";
    EXPECT_EQ(WindowsDisplayPathOf(name), "D:\\...\\" + dir + ".bin");
    EXPECT_EQ(NameTextOf(path, '\\'), "image.bin");
}

TEST(DisplayPathTest, WithoutSeparatorNothingIsCut) {
    const std::string noSeparator = "D:" + std::string(60, 'n');
    EXPECT_EQ(WindowsDisplayPathOf(noSeparator), noSeparator);
    const std::string relative = std::string(60, 'r') + ".bin";
    EXPECT_EQ(DisplayPathOf(relative), relative);
    // Only the drive's backslash: it goes, nothing else can, the marker still shows the cut.
    EXPECT_EQ(WindowsDisplayPathOf("D:\\" + std::string(60, 'n')), "D:\\...\\" + std::string(60, 'n'));
    // A single long last component is never cut.
    EXPECT_EQ(DisplayPathOf("/a/" + std::string(80, 'z')), "/.../" + std::string(80, 'z'));
}

TEST(DisplayPathTest, NameTextIsLastComponent) {
    EXPECT_EQ(NameTextOf("/tmp/dir/image.bin"), "image.bin");
    EXPECT_EQ(NameTextOf("image.bin"), "image.bin");
    EXPECT_EQ(NameTextOf("/tmp/dir/"), "");
    EXPECT_EQ(NameTextOf("/数据/固件.rom"), "固件.rom");
    EXPECT_EQ(NameTextOf("D:\\a\\b.bin", '\\'), "b.bin");
}

}  // namespace
