#include "platform/SystemFiles.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "support/TempDirectory.h"

namespace {

// Every spelling of a system file is one, a file merely named like one elsewhere is not.
TEST(SystemFilesTest, SystemFilesUnderAnySpelling) {
    TempDirectory dir;
    const std::string work = dir.file("work");
    std::filesystem::create_directories(work + "/sound");
    std::filesystem::create_directories(work + "/sub");
    std::filesystem::create_directories(dir.file("elsewhere/sound"));
    for (const char* name : {"XJQT.uc", "修改记录.txt", "halor2.dll", "sound/ding.wav"})
        dir.Write(std::string("work/") + name, {1});
    std::filesystem::create_symlink(work + "/XJQT.uc", work + "/link.bin");
    std::filesystem::create_hard_link(work + "/修改记录.txt", work + "/hard.bin");
    std::filesystem::create_symlink(work, dir.file("work-link"));

    struct Row {
        std::string path;
        bool system;
    };
    const Row rows[] = {
        {work + "/XJQT.uc", true},
        {work + "/修改记录.txt", true},
        {work + "/halor2.dll", true},
        {work + "/h_alor0.dll", true},
        {work + "/h_alor1.dll", true},
        {work + "/.XJQT_Tarlo Flash编程器.exe.lock", true},
        {work + "/sound/ding.wav", true},
        {work + "/sound/new.WAV", true},
        {work + "/sub/../XJQT.uc", true},
        {work + "/./halor2.dll", true},
        {dir.file("work-link/XJQT.uc"), true},
        {work + "/link.bin", true},
        {work + "/hard.bin", true},
        {work + "/fw.bin", false},
        {work + "/XJQT.uc.bak", false},
        {work + "/xjqt.uc", false},
        {work + "/sub/XJQT.uc", false},
        {work + "/ding.wav", false},
        {work + "/sound/readme.txt", false},
        {work + "/sound/sub/ding.wav", false},
        {dir.file("elsewhere/XJQT.uc"), false},
        {dir.file("elsewhere/sound/ding.wav"), false},
        {"", false},
    };
    for (const Row& row : rows) EXPECT_EQ(SystemFiles::IsSystemFile(row.path, work), row.system) << row.path;
}

// Relative names are taken against the current directory when no work directory is given.
TEST(SystemFilesTest, EmptyWorkDirectoryIsTheCurrentOne) {
    TempDirectory dir;
    const std::filesystem::path before = std::filesystem::current_path();
    std::filesystem::current_path(dir.path());
    const bool product = SystemFiles::IsSystemFile("XJQT.uc", "");
    const bool sound = SystemFiles::IsSystemFile("sound/a.wav", "");
    const bool other = SystemFiles::IsSystemFile("fw.bin", "");
    std::filesystem::current_path(before);
    EXPECT_TRUE(product);
    EXPECT_TRUE(sound);
    EXPECT_FALSE(other);
}

}  // namespace
