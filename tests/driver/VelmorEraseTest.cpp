#include <dlfcn.h>

#include <algorithm>
#include <cstring>
#include <string>

#include "VelmorTestSupport.h"

namespace velmortest {
namespace {

using GetEraseBlocksFn = int32_t (*)(int32_t, ::VelmorEraseBlocks*);
using EraseRangeFn = int32_t (*)(int32_t, uint32_t, uint32_t, uint32_t*);

// The block erase entry points, bound by name as the program binds them, over
// the simulator with the work directory's own database rows.
class EraseEntry : public VelmorTest {
protected:
    void SetUp() override {
        VelmorTest::SetUp();
        writeText("chipdb-user.txt",
                  "C84017 8M  256 4K:20,32K:52,64K:D8 3   3.3 BP0,BP1,BP2 25.4 GigaDevice GD25Q64\n"
                  "C22536 4M  256 4K:20,64K:D8        3   1.8 BP0,BP1     -    Macronix   MX25U3235F\n");
        m_getBlocks =
            reinterpret_cast<GetEraseBlocksFn>(::dlsym(m_library->handle(), "QuovixGetEraseBlocks"));
        m_erase = reinterpret_cast<EraseRangeFn>(::dlsym(m_library->handle(), "QuovixEraseRange"));
        ASSERT_NE(m_getBlocks, nullptr);
        ASSERT_NE(m_erase, nullptr);
    }

    GetEraseBlocksFn m_getBlocks = nullptr;
    EraseRangeFn m_erase = nullptr;
};

struct BlocksCase {
    const char* what;
    const char* config;
    uint32_t count;
    std::vector<uint32_t> sizes;
    std::vector<uint32_t> opcodes;
    uint32_t chipEraseMs;
};

class EraseBlocksEntry : public EraseEntry, public testing::WithParamInterface<BlocksCase> {};

TEST_P(EraseBlocksEntry, FillsTheBlocksOfTheLastConnectionCheck) {
    const BlocksCase& c = GetParam();
    configure(c.config);
    ::VelmorEraseBlocks blocks;
    std::memset(&blocks, 0xAB, sizeof blocks);
    ASSERT_EQ(m_getBlocks(connect(), &blocks), 1);
    EXPECT_EQ(blocks.count, c.count);
    EXPECT_EQ(std::vector<uint32_t>(blocks.size, blocks.size + blocks.count), c.sizes);
    EXPECT_EQ(std::vector<uint32_t>(blocks.opcode, blocks.opcode + blocks.count), c.opcodes);
    // Unused slots are zero, not left over.
    for (uint32_t i = blocks.count; i < 4; ++i) {
        EXPECT_EQ(blocks.size[i], 0u);
        EXPECT_EQ(blocks.opcode[i], 0u);
    }
    EXPECT_EQ(blocks.chip_erase_ms, c.chipEraseMs);
}

INSTANTIATE_TEST_SUITE_P(
    Sources, EraseBlocksEntry,
    testing::Values(
        BlocksCase{"DatabaseRow", "jedec = C84017\n", 3, {4096, 32768, 65536}, {0x20, 0x52, 0xD8}, 25400},
        BlocksCase{"RowWithoutEraseTime", "jedec = C22536\n", 2, {4096, 65536}, {0x20, 0xD8}, 0},
        BlocksCase{
            "SfdpOnly", "jedec = 684018\nchip = 25X128\n", 3, {4096, 32768, 65536}, {0x20, 0x52, 0xD8}, 0},
        BlocksCase{"Unknown", "jedec = 684018\nchip = 25X128\nsfdp = no\n", 0, {}, {}, 0}),
    [](const testing::TestParamInfo<BlocksCase>& info) { return std::string(info.param.what); });

TEST_F(EraseEntry, BlocksNeedAnOpenHandleAndAPlace) {
    configure();
    const int32_t h = connect();
    EXPECT_EQ(m_getBlocks(h, nullptr), 0);
    ::VelmorEraseBlocks blocks{};
    EXPECT_EQ(m_getBlocks(h + 100, &blocks), 0);
    close(h);
    EXPECT_EQ(m_getBlocks(h, &blocks), 0);
}

// fail_erase_block: the Nth block of the connection fails; the call says how far it came
// and the chip file holds exactly that.
TEST_F(EraseEntry, FailureInTheMiddleReportsWhatWasErased) {
    configure("jedec = C84017\nfail_erase_block = 3\n");
    const int32_t h = connect();
    ASSERT_TRUE(programAll(h, std::vector<uint8_t>(0x30000, 0x00)));
    uint32_t done = 77;
    // 4K at 0x7000, 32K at 0x8000, then the 64K block at 0x10000 fails.
    EXPECT_EQ(m_erase(h, 0x7000, 0x1A000, &done), 0);
    EXPECT_EQ(done, 0x9000u);
    EXPECT_EQ(api().QuovixLastFailure(), VELMOR_REASON_NONE);
    const std::vector<uint8_t> chip = chipFile();
    ASSERT_EQ(chip.size(), 8 * kOneMiB);
    EXPECT_EQ(std::count(chip.begin(), chip.begin() + 0x30000, 0xFF), 0x9000);
    EXPECT_TRUE(
        std::all_of(chip.begin() + 0x7000, chip.begin() + 0x10000, [](uint8_t b) { return b == 0xFF; }));
    // The next call counts on: its first block is the fourth and erases.
    EXPECT_EQ(m_erase(h, 0x10000, 0x10000, &done), 1);
    EXPECT_EQ(done, 0x10000u);
    EXPECT_EQ(readRange(h, 0x10000, 0x10000), std::vector<uint8_t>(0x10000, 0xFF));
}

}  // namespace
}  // namespace velmortest
