#include <set>
#include <string>

#include <gtest/gtest.h>

#include "ChipCatalog.h"

namespace velmor {
namespace {

TEST(ChipCatalogTest, SimulatedChipsDoubleFrom128KiBTo32MiBWithUniqueIds) {
    const auto types = simulatedChipTypes();
    ASSERT_EQ(types.size(), 9u);
    std::set<std::string_view> names;
    std::set<uint32_t> ids;
    uint32_t expected = 128 * 1024;
    for (const SimulatedChipType& type : types) {
        EXPECT_EQ(type.size, expected) << type.name;
        EXPECT_TRUE(names.insert(type.name).second) << "duplicate name " << type.name;
        EXPECT_TRUE(ids.insert(type.jedecId).second) << "duplicate id " << type.name;
        EXPECT_EQ(findSimulatedChipType(type.name), &type);
        expected *= 2;
    }
}

// Rows as the data file has them, one per maker and the special cases.
const char* const kRows =
    "EF4017 8M   256 4K:20,32K:52,64K:D8 3   3.3 BP0,BP1,BP2,TB,SEC 20  Winbond    "
    "W25Q64BV,W25Q64FV,W25Q64JV\n"
    "C84017 8M   256 4K:20,32K:52,64K:D8 3   3.3 BP0,BP1,BP2,BP3,BP4 25 GigaDevice "
    "GD25Q64,GD25Q64C,GD25Q64E\n"
    "9D6018 16M  256 4K:20,32K:52,64K:D8 3   3.3 BP0,BP1,BP2,BP3    -   ISSI       IS25LP128\n"
    "207017 8M   256 4K:20,32K:52,64K:D8 3   3.3 BP0,BP1,BP2,BP3,BP4 - XMC        XM25QH64A\n"
    "C22536 4M   256 4K:20,32K:52,64K:D8 3   1.8 BP0,BP1,BP2,BP3    -   Macronix   MX25U3235F,MX25U3232F\n"
    "EF4020 64M  256 4K:20,32K:52,64K:D8 3/4 3.3 BP0,BP1,BP2,BP3,TB 150 Winbond    W25Q512JV\n"
    "EF7019 32M  256 4K:20,32K:52,64K:D8 4   3.3 BP0,BP1,BP2,BP3,TB 80  Winbond    W25Q256JV-M\n"
    "010220 64M  512 256K:D8             3/4 3.3 BP0,BP1,BP2        -   Spansion   S25FL512S\n"
    "1F8401 512K 256 4K:20,32K:52,64K:D8 3   3.3 -                  -   Adesto     AT25SF041\n";

struct IdCase {
    uint32_t id;
    const char* maker;
    const char* parts;
    uint32_t size;
    uint32_t eraseSize;
    uint8_t eraseOpcode;
    bool lowVoltage;
    AddressMode address;
    bool fourByte;
    int32_t code;
};

class ChipCatalogIdentity : public testing::TestWithParam<IdCase> {};

TEST_P(ChipCatalogIdentity, DatabaseRowIdentifiesTheChip) {
    ChipDatabase db;
    db.addText(kRows, "test", [](const std::string& m) { ADD_FAILURE() << m; });
    const IdCase c = GetParam();
    // A database row wins over whatever SFDP would say.
    SfdpInfo sfdp;
    sfdp.size = 1u << 20;
    const ChipInfo info = identifyChip(c.id, db, sfdp);
    EXPECT_EQ(info.id, c.id);
    EXPECT_EQ(info.source, IdentitySource::Database);
    EXPECT_EQ(info.maker, c.maker);
    EXPECT_EQ(info.parts, c.parts);
    EXPECT_EQ(info.size, c.size);
    EXPECT_EQ(info.eraseSize, c.eraseSize);
    EXPECT_EQ(info.eraseOpcode, c.eraseOpcode);
    EXPECT_EQ(info.lowVoltage, c.lowVoltage);
    EXPECT_EQ(info.address, c.address);
    EXPECT_EQ(needsFourByteAddress(info.address, info.size), c.fourByte);
    EXPECT_EQ(flashInfoCode(info).kind, kKind25Series);
    EXPECT_EQ(flashInfoCode(info).code, c.code);
}

constexpr uint32_t M = 1u << 20;
INSTANTIATE_TEST_SUITE_P(RealIds, ChipCatalogIdentity,
                         testing::Values(IdCase{0xEF4017, "Winbond", "W25Q64BV,W25Q64FV,W25Q64JV", 8 * M,
                                                4096, 0x20, false, AddressMode::Three, false, 22},
                                         IdCase{0xC84017, "GigaDevice", "GD25Q64,GD25Q64C,GD25Q64E", 8 * M,
                                                4096, 0x20, false, AddressMode::Three, false, 22},
                                         IdCase{0x9D6018, "ISSI", "IS25LP128", 16 * M, 4096, 0x20, false,
                                                AddressMode::Three, false, 23},
                                         IdCase{0x207017, "XMC", "XM25QH64A", 8 * M, 4096, 0x20, false,
                                                AddressMode::Three, false, 22},
                                         IdCase{0xC22536, "Macronix", "MX25U3235F,MX25U3232F", 4 * M, 4096,
                                                0x20, true, AddressMode::Three, false, 21},
                                         IdCase{0xEF4020, "Winbond", "W25Q512JV", 64 * M, 4096, 0x20, false,
                                                AddressMode::ThreeOrFour, true, 25},
                                         IdCase{0xEF7019, "Winbond", "W25Q256JV-M", 32 * M, 4096, 0x20, false,
                                                AddressMode::Four, true, 24},
                                         IdCase{0x010220, "Spansion", "S25FL512S", 64 * M, 256 * 1024, 0xD8,
                                                false, AddressMode::ThreeOrFour, true, 25},
                                         IdCase{0x1F8401, "Adesto", "AT25SF041", 512 * 1024, 4096, 0x20,
                                                false, AddressMode::Three, false, 18}));

TEST(ChipCatalogTest, WithoutARowSfdpSizesTheChip) {
    SfdpInfo sfdp;
    sfdp.size = 16 * M;
    sfdp.page = 512;
    sfdp.erase = {{4096, 0x21}, {65536, 0xDC}};
    sfdp.address = AddressMode::Four;
    const ChipInfo info = identifyChip(0x684018, ChipDatabase{}, sfdp);
    EXPECT_EQ(info.source, IdentitySource::Sfdp);
    EXPECT_EQ(info.size, 16 * M);
    EXPECT_EQ(info.page, 512u);
    EXPECT_EQ(info.eraseSize, 4096u);
    EXPECT_EQ(info.eraseOpcode, 0x21);
    EXPECT_EQ(info.maker, "");
    EXPECT_TRUE(needsFourByteAddress(info.address, info.size));
    EXPECT_EQ(flashInfoCode(info).code, 23);
}

TEST(ChipCatalogTest, CapacityByteAloneNeverSizesAChip) {
    for (const uint32_t id : {0xEF4017u, 0x9D6018u, 0xC22536u, 0xEF4020u}) {
        const ChipInfo info = identifyChip(id, ChipDatabase{}, std::nullopt);
        EXPECT_EQ(info.source, IdentitySource::Unknown) << std::hex << id;
        EXPECT_EQ(info.size, 0u);
        EXPECT_EQ(flashInfoCode(info).kind, kKindOther);
        EXPECT_EQ(flashInfoCode(info).code, 0);
    }
}

TEST(ChipCatalogTest, CodesRunFrom16At128KiBTo26At128MiB) {
    ChipInfo info;
    info.source = IdentitySource::Sfdp;
    int32_t code = 15;
    for (uint32_t size = 64 * 1024; size <= 128 * M; size *= 2, ++code) {
        info.size = size;
        EXPECT_EQ(flashInfoCode(info).code, code) << size;
    }
    EXPECT_EQ(code, 27);
}

}  // namespace
}  // namespace velmor
