#include <cstring>
#include <string>

#include "VelmorTestSupport.h"

namespace velmortest {
namespace {

// The chip identity entry point and the sizes and addressing it implies, over
// the simulator with the work directory's own database rows.
class ChipIdentityEntry : public VelmorTest {
protected:
    void SetUp() override {
        VelmorTest::SetUp();
        writeText(
            "chipdb-user.txt",
            "# id size page erase addr volt bp erase_s maker parts\n"
            "C84017 8M  256 4K:20,32K:52,64K:D8 3   3.3 BP0,BP1,BP2,BP3,BP4 25 GigaDevice GD25Q64,GD25Q64C\n"
            "C22536 4M  256 4K:20,32K:52,64K:D8 3   1.8 BP0,BP1,BP2,BP3     -  Macronix   MX25U3235F\n"
            "EF4020 64M 256 4K:20,32K:52,64K:D8 3/4 3.3 BP0,BP1,BP2,BP3,TB  150 Winbond   W25Q512JV\n");
    }
    ::VelmorChipIdentity identity(int32_t h) {
        ::VelmorChipIdentity out;
        std::memset(&out, 0xAB, sizeof out);
        EXPECT_EQ(api().QuovixGetChipIdentity(h, &out), 1);
        return out;
    }
};

TEST_F(ChipIdentityEntry, DatabaseRowGivesMakerPartsSizeEraseAndVoltage) {
    configure("jedec = C84017\n");
    const ::VelmorChipIdentity id = identity(connect());
    EXPECT_EQ(id.jedec_id, 0xC84017u);
    EXPECT_EQ(id.source, VELMOR_IDENTITY_DATABASE);
    EXPECT_STREQ(id.maker, "GigaDevice");
    EXPECT_STREQ(id.parts, "GD25Q64,GD25Q64C");
    EXPECT_EQ(id.size, 8u * kOneMiB);
    EXPECT_EQ(id.page_size, 256u);
    EXPECT_EQ(id.erase_size, 4096u);
    EXPECT_EQ(id.erase_opcode, 0x20u);
    EXPECT_EQ(id.millivolts, 3300u);
    EXPECT_EQ(id.address_bytes, 3u);

    close(m_open.back());
    configure("jedec = C22536\n");
    EXPECT_EQ(identity(connect()).millivolts, 1800u);
}

TEST_F(ChipIdentityEntry, ChipWithoutARowIsSizedBySfdpOrStaysUnknown) {
    configure("jedec = 684018\nchip = 25X128\n");
    ::VelmorChipIdentity id = identity(connect());
    EXPECT_EQ(id.source, VELMOR_IDENTITY_SFDP);
    EXPECT_EQ(id.size, 16u * kOneMiB);
    EXPECT_STREQ(id.maker, "");
    EXPECT_STREQ(id.parts, "");
    EXPECT_EQ(id.millivolts, 0u);

    close(m_open.back());
    configure("jedec = 684018\nchip = 25X128\nsfdp = no\n");
    id = identity(connect());
    EXPECT_EQ(id.source, VELMOR_IDENTITY_UNKNOWN);
    EXPECT_EQ(id.jedec_id, 0x684018u);
    EXPECT_EQ(id.size, 0u);
}

TEST_F(ChipIdentityEntry, NoChipOrNoHandleGivesNothing) {
    configure("chip = absent\n");
    const int32_t h = open();
    ::VelmorChipIdentity id{};
    EXPECT_EQ(api().QuovixGetChipIdentity(h, &id), 0);
    EXPECT_EQ(api().QuovixGetChipIdentity(h, nullptr), 0);
    EXPECT_EQ(api().QuovixGetChipIdentity(h + 100, &id), 0);
}

TEST_F(ChipIdentityEntry, A64MiBChipIsProgrammedAndReadToItsLastByteWithFourByteAddresses) {
    configure("jedec = EF4020\n");
    const int32_t h = connect();
    int32_t kind = 0;
    int32_t code = 0;
    ASSERT_EQ(api().QuovixGetFlashInfo(h, &kind, &code), 1);
    EXPECT_EQ(kind, 5);
    EXPECT_EQ(code, 25);
    ASSERT_EQ(api().QuovixSetFlashInfo(h, 5, 0), 1);
    const uint32_t top = 64 * kOneMiB - 256;
    const std::vector<uint8_t> data = pattern(256, 7);
    uint32_t done = 0;
    ASSERT_EQ(api().QuovixProgram(h, data.data(), 256, top, &done), 1);
    EXPECT_EQ(readRange(h, top, 256), data);
    // Above 16 MiB a 3-byte address would have wrapped to the chip's start.
    EXPECT_EQ(readRange(h, top % (16 * kOneMiB), 256), std::vector<uint8_t>(256, 0xFF));
    close(h);
    const std::vector<uint8_t> file = chipFile();
    ASSERT_EQ(file.size(), 64u * kOneMiB);
    EXPECT_TRUE(std::equal(data.begin(), data.end(), file.end() - 256));
}

}  // namespace
}  // namespace velmortest
