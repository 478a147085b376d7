#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "cli/ChipsCommand.h"

namespace {

velmor::ChipDatabase Database() {
    velmor::ChipDatabase db;
    db.addText(
        "EF4017 8M 256 4K:20 3 3.3 - 20 Winbond W25Q64BV,W25Q64JV\n"
        "C84017 8M 256 4K:20 3 3.3 - 25 GigaDevice GD25Q64\n"
        "EF4020 64M 256 4K:20 3/4 3.3 - 150 Winbond W25Q512JV\n",
        "test", [](const std::string& m) { ADD_FAILURE() << m; });
    return db;
}

struct ListCase {
    const char* pattern;
    std::vector<std::string> lines;
};

class ChipListTest : public ::testing::TestWithParam<ListCase> {};

TEST_P(ChipListTest, ListsMatchingPartsById) {
    EXPECT_EQ(ChipListLines(Database(), GetParam().pattern), GetParam().lines);
}

INSTANTIATE_TEST_SUITE_P(
    Patterns, ChipListTest,
    ::testing::Values(ListCase{"",
                               {"GigaDevice   GD25Q64                C84017 8MB",
                                "Winbond      W25Q64BV               EF4017 8MB",
                                "Winbond      W25Q64JV               EF4017 8MB",
                                "Winbond      W25Q512JV              EF4020 64MB"}},
                      ListCase{"w25q",
                               {"Winbond      W25Q64BV               EF4017 8MB",
                                "Winbond      W25Q64JV               EF4017 8MB",
                                "Winbond      W25Q512JV              EF4020 64MB"}},
                      ListCase{"64jv", {"Winbond      W25Q64JV               EF4017 8MB"}},
                      ListCase{"gigadevice", {"GigaDevice   GD25Q64                C84017 8MB"}},
                      ListCase{"ef4020", {"Winbond      W25Q512JV              EF4020 64MB"}},
                      ListCase{"MX25", {}}));

std::string Read(FILE* file) {
    std::rewind(file);
    std::string text;
    char buffer[512];
    while (size_t n = std::fread(buffer, 1, sizeof buffer, file)) text.append(buffer, n);
    return text;
}

TEST(ChipsCommandTest, ReportsBadRowsAndRefusesExtraArguments) {
    char dir[] = "/tmp/chipsXXXXXX";
    ASSERT_NE(mkdtemp(dir), nullptr);
    const std::string path = std::string(dir) + "/chipdb.txt";
    FILE* db = std::fopen(path.c_str(), "w");
    std::fputs("EF4017 8M 256 4K:20 3 3.3 - 20 Winbond W25Q64JV\nEF4018 3M 256 4K:20 3 3.3 - 20 Winbond X\n",
               db);
    std::fclose(db);
    FILE* out = std::tmpfile();
    FILE* err = std::tmpfile();
    EXPECT_EQ(RunChipsCommand({"chips", "W25Q"}, dir, out, err), ExitStatus::Success);
    EXPECT_EQ(Read(out),
              "厂商         型号                   ID     容量\n"
              "Winbond      W25Q64JV               EF4017 8MB\n");
    EXPECT_EQ(Read(err), path + ":2: 已跳过此行：容量 \"3M\" 不是 64K 到 128M 之间的 2 的幂\n");
    FILE* out2 = std::tmpfile();
    FILE* err2 = std::tmpfile();
    EXPECT_EQ(RunChipsCommand({"chips", "A", "B"}, dir, out2, err2), ExitStatus::Usage);
    EXPECT_EQ(Read(out2), "");
    EXPECT_EQ(RunChipsCommand({"chips", "NOPE"}, dir, out2, err2), ExitStatus::OperationFailed);
    EXPECT_EQ(Read(err2), "用法: xjqt-tarlo chips [PATTERN]\n" + path +
                              ":2: 已跳过此行：容量 \"3M\" 不是 64K 到 128M 之间的 2 的幂\n"
                              "芯片数据库中没有与 NOPE 相符的芯片\n");
    for (FILE* f : {out, err, out2, err2}) std::fclose(f);
    std::remove(path.c_str());
    rmdir(dir);
}

}  // namespace
