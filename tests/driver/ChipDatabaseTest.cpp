#include <filesystem>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "ChipDatabase.h"
#include "VelmorTestSupport.h"

namespace velmor {
namespace {

constexpr const char* kGood =
    "EF4017  8M 256 4K:20,32K:52,64K:D8 3 3.3 BP0,BP1,BP2,TB,SEC 20 Winbond W25Q64BV,W25Q64FV";

TEST(ChipDatabaseTest, GoodRowGivesEveryColumn) {
    const ParsedRow parsed = parseChipRow(kGood);
    ASSERT_TRUE(parsed.row) << parsed.error;
    const ChipRow& row = *parsed.row;
    EXPECT_EQ(row.id, 0xEF4017u);
    EXPECT_EQ(row.size, 8u << 20);
    EXPECT_EQ(row.page, 256u);
    ASSERT_EQ(row.erase.size(), 3u);
    EXPECT_EQ(row.erase[0].size, 4096u);
    EXPECT_EQ(row.erase[0].opcode, 0x20);
    EXPECT_EQ(row.erase[2].size, 65536u);
    EXPECT_EQ(row.erase[2].opcode, 0xD8);
    EXPECT_EQ(row.address, AddressMode::Three);
    EXPECT_FALSE(row.lowVoltage);
    EXPECT_EQ(row.protect, (std::vector<std::string>{"BP0", "BP1", "BP2", "TB", "SEC"}));
    EXPECT_EQ(row.eraseSeconds, 20.0);
    EXPECT_EQ(row.maker, "Winbond");
    EXPECT_EQ(row.parts, (std::vector<std::string>{"W25Q64BV", "W25Q64FV"}));
}

struct BadRow {
    const char* line;
    const char* error;
};

class ChipDatabaseBadRow : public testing::TestWithParam<BadRow> {};

TEST_P(ChipDatabaseBadRow, IsRefusedWithItsReason) {
    const ParsedRow parsed = parseChipRow(GetParam().line);
    EXPECT_FALSE(parsed.row);
    EXPECT_EQ(parsed.error, GetParam().error);
}

INSTANTIATE_TEST_SUITE_P(
    Rules, ChipDatabaseBadRow,
    testing::Values(
        BadRow{"EF4017 8M 256 4K:20 3 3.3 - 20 Winbond", "应有 10 列，实有 9 列"},
        BadRow{"ef4017 8M 256 4K:20 3 3.3 - 20 Winbond W25Q64", "id \"ef4017\" 不是 6 位大写十六进制数"},
        BadRow{"EF401 8M 256 4K:20 3 3.3 - 20 Winbond W25Q64", "id \"EF401\" 不是 6 位大写十六进制数"},
        BadRow{"EF4017 3M 256 4K:20 3 3.3 - 20 Winbond W25Q64", "容量 \"3M\" 不是 64K 到 128M 之间的 2 的幂"},
        BadRow{"EF4017 32K 256 4K:20 3 3.3 - 20 Winbond W25Q64",
               "容量 \"32K\" 不是 64K 到 128M 之间的 2 的幂"},
        BadRow{"EF4017 256M 256 4K:20 4 3.3 - 20 Winbond W25Q64",
               "容量 \"256M\" 不是 64K 到 128M 之间的 2 的幂"},
        BadRow{"EF4017 8M 2048 4K:20 3 3.3 - 20 Winbond W25Q64",
               "页大小 \"2048\" 不是 1 到 1024 之间的 2 的幂"},
        BadRow{"EF4017 8M 0 4K:20 3 3.3 - 20 Winbond W25Q64", "页大小 \"0\" 不是 1 到 1024 之间的 2 的幂"},
        BadRow{"EF4017 8M 256 4K:2 3 3.3 - 20 Winbond W25Q64",
               "擦除块 \"4K:2\" 应写成 大小:操作码，如 4K:20"},
        BadRow{"EF4017 8M 256 4K20 3 3.3 - 20 Winbond W25Q64",
               "擦除块 \"4K20\" 应写成 大小:操作码，如 4K:20"},
        BadRow{"EF4017 64K 256 128K:D8 3 3.3 - 20 Winbond W25Q64",
               "擦除块 \"128K:D8\" 的大小不是能整除容量的 2 的幂（至少 256）"},
        BadRow{"EF4017 8M 256 64K:D8,4K:20 3 3.3 - 20 Winbond W25Q64",
               "擦除块应从小到大排列：\"64K:D8,4K:20\""},
        BadRow{"EF4017 8M 256 4K:20 3/5 3.3 - 20 Winbond W25Q64", "地址方式 \"3/5\" 应为 3、3/4 或 4"},
        BadRow{"EF4018 32M 256 4K:20 3 3.3 - 20 Winbond W25Q256", "容量超过 16M 的芯片地址方式应为 3/4 或 4"},
        BadRow{"EF4017 8M 256 4K:20 3 5.0 - 20 Winbond W25Q64", "电压 \"5.0\" 应为 3.3 或 1.8"},
        BadRow{"EF4017 8M 256 4K:20 3 3.3 BP0,,BP1 20 Winbond W25Q64", "保护位 \"BP0,,BP1\" 中有空项"},
        BadRow{"EF4017 8M 256 4K:20 3 3.3 - 0 Winbond W25Q64", "整片擦除时间 \"0\" 应为正数或 -"},
        BadRow{"EF4017 8M 256 4K:20 3 3.3 - 2s Winbond W25Q64", "整片擦除时间 \"2s\" 应为正数或 -"},
        BadRow{"EF4017 8M 256 4K:20 3 3.3 - 20 Winbond ,", "至少要有一个型号名"}));

TEST(ChipDatabaseTest, BoundaryRowsAreAccepted) {
    for (const char* line : {"AA0010 64K 1 256:D8 3 3.3 - - X P", "AA0011 128M 1024 4K:20 4 1.8 - 0.5 X P",
                             "AA0012 16M 256 4K:20 3 3.3 - - X P"}) {
        const ParsedRow parsed = parseChipRow(line);
        EXPECT_TRUE(parsed.row) << line << ": " << parsed.error;
    }
}

TEST(ChipDatabaseTest, BadRowsAreReportedWithFileAndLineAndSkipped) {
    ChipDatabase db;
    std::vector<std::string> told;
    db.addText(
        "\xEF\xBB\xBF# comment\r\n"
        "\n"
        "EF4017 8M 256 4K:20 3 3.3 - 20 Winbond W25Q64  # trailing comment\r\n"
        "C84017 8M 256 4K:20 3 9.9 - 20 GigaDevice GD25Q64\n"
        "EF4017 4M 256 4K:20 3 3.3 - 20 Winbond W25Q32\n"
        "   \t\n"
        "9D6018 16M 256 4K:20 3 3.3 - - ISSI IS25LP128",
        "chipdb.txt", [&](const std::string& m) { told.push_back(m); });
    EXPECT_EQ(told, (std::vector<std::string>{"chipdb.txt:4: 已跳过此行：电压 \"9.9\" 应为 3.3 或 1.8",
                                              "chipdb.txt:5: 已跳过此行：id EF4017 在本文件中重复"}));
    ASSERT_EQ(db.rows().size(), 2u);
    EXPECT_EQ(db.rows()[0]->id, 0x9D6018u);
    EXPECT_EQ(db.rows()[1]->id, 0xEF4017u);
    EXPECT_EQ(db.find(0xEF4017)->size, 8u << 20);
    EXPECT_EQ(db.find(0xEF4017)->line, 3);
    EXPECT_EQ(db.find(0xC84017), nullptr);
}

TEST(ChipDatabaseTest, UserFileOverridesInstalledRowsAndAddsNewOnes) {
    TempDirectory dir{TempUse::AsCurrent};
    std::filesystem::create_directories("lib/private");
    velmortest::writeText("lib/private/chipdb.txt",
                          "EF4017 8M 256 4K:20 3 3.3 - 20 Winbond W25Q64\n"
                          "C84017 8M 256 4K:20 3 3.3 - 25 GigaDevice GD25Q64\n");
    velmortest::writeText("chipdb-user.txt",
                          "C84017 16M 256 4K:20 3 3.3 - - Mine GD25Q128-MINE\n"
                          "123456 1M 256 4K:20 3 1.8 - - Mine MINE1\n"
                          "BAD\n");
    std::vector<std::string> told;
    const ChipDatabase db = loadChipDatabase("lib/private", [&](const std::string& m) { told.push_back(m); });
    EXPECT_EQ(told, (std::vector<std::string>{"chipdb-user.txt:3: 已跳过此行：应有 10 列，实有 1 列"}));
    EXPECT_EQ(db.files(), (std::vector<std::string>{"lib/private/chipdb.txt", "chipdb-user.txt"}));
    ASSERT_NE(db.find(0xC84017), nullptr);
    EXPECT_EQ(db.find(0xC84017)->maker, "Mine");
    EXPECT_EQ(db.find(0xC84017)->size, 16u << 20);
    EXPECT_EQ(db.find(0xEF4017)->maker, "Winbond");
    EXPECT_TRUE(db.find(0x123456)->lowVoltage);
}

TEST(ChipDatabaseTest, InstalledDatabaseIsLookedForBesideTheLibraryThenInTheShareFolders) {
    EXPECT_EQ(installedChipDbCandidates("/usr/lib/xjqt-tarlo"),
              (std::vector<std::string>{
                  "/usr/lib/xjqt-tarlo/chipdb.txt", "/usr/lib/xjqt-tarlo/../../share/xjqt-tarlo/chipdb.txt",
                  "/usr/lib/xjqt-tarlo/../share/xjqt-tarlo/chipdb.txt", "/usr/share/xjqt-tarlo/chipdb.txt"}));
    TempDirectory dir{TempUse::AsCurrent};
    std::filesystem::create_directories("share/xjqt-tarlo");
    std::filesystem::create_directories("lib/xjqt-tarlo");
    velmortest::writeText("share/xjqt-tarlo/chipdb.txt", "EF4017 8M 256 4K:20 3 3.3 - 20 Winbond W25Q64\n");
    std::vector<std::string> told;
    const ChipDatabase db =
        loadChipDatabase("lib/xjqt-tarlo", [&](const std::string& m) { told.push_back(m); });
    EXPECT_TRUE(told.empty());
    EXPECT_EQ(db.files(), (std::vector<std::string>{"lib/xjqt-tarlo/../../share/xjqt-tarlo/chipdb.txt"}));
    EXPECT_NE(db.find(0xEF4017), nullptr);
}

TEST(ChipDatabaseTest, OversizedFileIsReportedAndADirectoryIsPassedOver) {
    TempDirectory dir{TempUse::AsCurrent};
    std::filesystem::create_directory("chipdb-user.txt");
    velmortest::writeText("db.txt", "EF4017 8M 256 4K:20 3 3.3 - 20 Winbond W25Q64\n");
    std::filesystem::resize_file("db.txt", 5u << 20);
    ChipDatabase db;
    std::vector<std::string> told;
    const auto complain = [&](const std::string& m) { told.push_back(m); };
    EXPECT_FALSE(db.addFile("db.txt", "db.txt", complain));
    EXPECT_FALSE(db.addFile("chipdb-user.txt", "chipdb-user.txt", complain));
    EXPECT_EQ(told, (std::vector<std::string>{"db.txt: 无法读取芯片数据库文件"}));
    EXPECT_TRUE(db.empty());
    EXPECT_TRUE(db.files().empty());
}

}  // namespace
}  // namespace velmor
