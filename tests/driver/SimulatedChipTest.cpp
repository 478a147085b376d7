#include <algorithm>
#include <cctype>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "Sfdp.h"
#include "SimulatedChip.h"
#include "SpiOpcodes.h"

namespace velmor {
namespace {

constexpr uint32_t kSize = 64 * 1024;

class RecordingStore : public ChipStore {
public:
    bool write(uint32_t offset, std::span<const uint8_t> data) override {
        writes.push_back({offset, static_cast<uint32_t>(data.size())});
        return !failing;
    }
    std::vector<std::pair<uint32_t, uint32_t>> writes;
    bool failing = false;
};

class SimulatedChipTest : public testing::Test {
protected:
    SimulatedChipTest() : chip(0xEF3014, std::vector<uint8_t>(kSize, 0xFF), &store) {}

    SimulatedChip::Event send(std::vector<uint8_t> out, size_t inLength = 0) {
        in.assign(inLength, 0);
        return chip.transact(out, in);
    }
    void wren() { send({spi::kWriteEnable}); }
    SimulatedChip::Event program(uint32_t address, const std::vector<uint8_t>& data) {
        std::vector<uint8_t> out{spi::kPageProgram, static_cast<uint8_t>(address >> 16),
                                 static_cast<uint8_t>(address >> 8), static_cast<uint8_t>(address)};
        out.insert(out.end(), data.begin(), data.end());
        return send(out);
    }
    void settle() { chip.elapse(1'000'000); }
    std::vector<uint8_t> bytes(uint32_t address, uint32_t length) const {
        const auto c = chip.contents();
        return std::vector<uint8_t>(c.begin() + address, c.begin() + address + length);
    }

    RecordingStore store;
    SimulatedChip chip;
    std::vector<uint8_t> in;
};

TEST_F(SimulatedChipTest, AnswersJedecIdThenFloatsHigh) {
    send({spi::kJedecId}, 5);
    EXPECT_EQ(in, (std::vector<uint8_t>{0xEF, 0x30, 0x14, 0xFF, 0xFF}));
}

TEST_F(SimulatedChipTest, WriteEnableLatchFollowsWrenAndWrdi) {
    EXPECT_EQ(chip.status(), 0x00);
    wren();
    EXPECT_EQ(chip.status(), spi::kStatusWriteEnabled);
    send({spi::kWriteDisable});
    EXPECT_EQ(chip.status(), 0x00);
    // Chip select must rise after exactly eight clocks.
    send({spi::kWriteEnable, 0x00});
    EXPECT_EQ(chip.status(), 0x00);
    send({spi::kReadStatus}, 3);
    EXPECT_EQ(in, (std::vector<uint8_t>{0, 0, 0}));
}

TEST_F(SimulatedChipTest, ProgramWithoutWriteEnableIsIgnored) {
    EXPECT_EQ(program(0x100, {0x00, 0x00}), SimulatedChip::Event::None);
    EXPECT_EQ(bytes(0x100, 2), (std::vector<uint8_t>{0xFF, 0xFF}));
    EXPECT_TRUE(store.writes.empty());
}

TEST_F(SimulatedChipTest, ProgramAndsIntoTheCellsAndClearsTheLatch) {
    wren();
    ASSERT_EQ(program(0x10, {0xF0, 0x3C}), SimulatedChip::Event::Programmed);
    EXPECT_EQ(chip.status() & spi::kStatusWriteEnabled, 0);
    settle();
    wren();
    ASSERT_EQ(program(0x10, {0x0F, 0xFF}), SimulatedChip::Event::Programmed);
    EXPECT_EQ(bytes(0x10, 2), (std::vector<uint8_t>{0x00, 0x3C}));
}

using Writes = std::vector<std::pair<uint32_t, uint32_t>>;

TEST_F(SimulatedChipTest, ChangedPagesReachTheStoreGatheredWhenFlushed) {
    for (uint32_t address : {0x200u, 0x300u, 0x280u, 0x100u}) {
        wren();
        program(address, {0x00});
        settle();
    }
    EXPECT_TRUE(store.writes.empty());
    EXPECT_TRUE(chip.flush());
    EXPECT_EQ(store.writes, (Writes{{0x100, 0x300}}));
    EXPECT_TRUE(chip.flush());
    EXPECT_EQ(store.writes.size(), 1u) << "nothing left to write";
}

TEST_F(SimulatedChipTest, ChangeFarFromThePendingOnesWritesThoseFirst) {
    wren();
    program(0x000, {0x00});
    settle();
    wren();
    program(0x800, {0x00});
    EXPECT_EQ(store.writes, (Writes{{0x000, 0x100}}));
    chip.flush();
    EXPECT_EQ(store.writes, (Writes{{0x000, 0x100}, {0x800, 0x100}}));
}

TEST(SimulatedChipLifetime, PendingChangesAreWrittenWhenTheChipGoesAway) {
    RecordingStore store;
    {
        SimulatedChip chip(0xEF3014, std::vector<uint8_t>(kSize, 0xFF), &store);
        std::vector<uint8_t> none;
        chip.transact(std::vector<uint8_t>{spi::kWriteEnable}, none);
        chip.transact(std::vector<uint8_t>{spi::kPageProgram, 0, 0x12, 0x00, 0x00}, none);
        EXPECT_TRUE(store.writes.empty());
    }
    EXPECT_EQ(store.writes, (Writes{{0x1200, 0x100}}));
}

TEST_F(SimulatedChipTest, ProgramWrapsWithinItsPage) {
    wren();
    program(0x1FC, {1, 2, 3, 4, 5, 6, 7, 8});
    EXPECT_EQ(bytes(0x1FC, 4), (std::vector<uint8_t>{1, 2, 3, 4}));
    EXPECT_EQ(bytes(0x100, 4), (std::vector<uint8_t>{5, 6, 7, 8}));
    EXPECT_EQ(bytes(0x200, 4), (std::vector<uint8_t>(4, 0xFF)));
}

TEST_F(SimulatedChipTest, MoreThanAPageKeepsTheLast256Bytes) {
    std::vector<uint8_t> data(300);
    for (size_t i = 0; i < data.size(); ++i) {
        data[i] = static_cast<uint8_t>(i < 256 ? 0xA0 : 0x05);
    }
    wren();
    program(0x300, data);
    EXPECT_EQ(bytes(0x300, 44), std::vector<uint8_t>(44, 0x05));
    EXPECT_EQ(bytes(0x300 + 44, 212), std::vector<uint8_t>(212, 0xA0));
    EXPECT_EQ(bytes(0x400, 1), std::vector<uint8_t>(1, 0xFF));
}

TEST_F(SimulatedChipTest, BusyChipAnswersOnlyTheStatusRead) {
    SimulatedChip::Timing timing;
    timing.programBusyUs = 100;
    chip.setTiming(timing);
    wren();
    program(0, {0x00});
    EXPECT_EQ(chip.status() & spi::kStatusBusy, spi::kStatusBusy);
    send({spi::kRead, 0, 0, 0}, 2);
    EXPECT_EQ(in, (std::vector<uint8_t>{0xFF, 0xFF})) << "reads are ignored while busy";
    send({spi::kWriteEnable});
    EXPECT_EQ(chip.status() & spi::kStatusWriteEnabled, 0);
    chip.elapse(99);
    EXPECT_EQ(chip.status() & spi::kStatusBusy, spi::kStatusBusy);
    chip.elapse(1);
    EXPECT_EQ(chip.status(), 0);
    send({spi::kRead, 0, 0, 0}, 2);
    EXPECT_EQ(in, (std::vector<uint8_t>{0x00, 0xFF}));
}

TEST_F(SimulatedChipTest, StuckBusyNeverClears) {
    chip.setStuckBusy(StuckBusy::Erase);
    wren();
    ASSERT_EQ(send({spi::kChipErase}), SimulatedChip::Event::Erased);
    chip.elapse(UINT32_MAX);
    EXPECT_EQ(chip.status() & spi::kStatusBusy, spi::kStatusBusy);
}

TEST_F(SimulatedChipTest, ChipEraseNeedsTheLatchAndAOneByteCommand) {
    wren();
    program(0x20, {0x00});
    settle();
    EXPECT_EQ(send({spi::kChipErase}), SimulatedChip::Event::None);
    wren();
    EXPECT_EQ(send({spi::kChipErase, 0x00}), SimulatedChip::Event::None);
    EXPECT_EQ(bytes(0x20, 1), std::vector<uint8_t>{0x00});
    for (uint8_t opcode : {spi::kChipErase, spi::kChipEraseAlt}) {
        wren();
        program(0x20, {0x00});
        settle();
        wren();
        EXPECT_EQ(send({opcode}), SimulatedChip::Event::Erased);
        settle();
        EXPECT_TRUE(
            std::all_of(chip.contents().begin(), chip.contents().end(), [](uint8_t b) { return b == 0xFF; }));
    }
    chip.flush();
    EXPECT_EQ(store.writes, (Writes{{0, kSize}}));
}

// Block erase commands as the chip decodes them: opcode and address bytes, the
// block they clear (rounded down to the block's start) and how long it stays busy.
struct BlockEraseCase {
    const char* what;
    uint32_t size;  // chip size: 32 MiB parts take the four-byte forms
    uint32_t jedec;
    bool writeEnable;
    std::vector<uint8_t> command;
    uint32_t begin;  // erased [begin, end); begin == end: nothing erased
    uint32_t end;
    uint32_t busyUs;
};

class SimulatedChipBlockErase : public testing::TestWithParam<BlockEraseCase> {};

TEST_P(SimulatedChipBlockErase, ClearsExactlyItsBlock) {
    const BlockEraseCase& c = GetParam();
    SimulatedChip chip(c.jedec, std::vector<uint8_t>(c.size, 0x00), nullptr);
    SimulatedChip::Timing timing;
    timing.erase4kBusyUs = 45'000;
    timing.erase32kBusyUs = 120'000;
    timing.erase64kBusyUs = 150'000;
    chip.setTiming(timing);
    if (c.writeEnable) {
        chip.transact(std::vector<uint8_t>{spi::kWriteEnable}, {});
    }
    const SimulatedChip::Event event = chip.transact(c.command, {});
    EXPECT_EQ(event, c.begin == c.end ? SimulatedChip::Event::None : SimulatedChip::Event::BlockErased);
    const auto contents = chip.contents();
    const auto firstBlank = std::find(contents.begin(), contents.end(), uint8_t{0xFF}) - contents.begin();
    const auto blank = std::count(contents.begin(), contents.end(), uint8_t{0xFF});
    EXPECT_EQ(blank, c.end - c.begin);
    if (c.begin != c.end) {
        EXPECT_EQ(firstBlank, c.begin);
    }
    // Busy for its block's time, then free; only an erase that ran spends the latch.
    const bool latchKept = c.writeEnable && c.begin == c.end;
    EXPECT_EQ(chip.status() & spi::kStatusWriteEnabled, latchKept ? spi::kStatusWriteEnabled : 0);
    if (c.busyUs != 0) {
        chip.elapse(c.busyUs - 1);
        EXPECT_EQ(chip.status() & spi::kStatusBusy, spi::kStatusBusy);
        chip.elapse(1);
    }
    EXPECT_EQ(chip.status() & spi::kStatusBusy, 0);
}

constexpr uint32_t k1M = 1u << 20;
constexpr uint32_t k32M = 32u << 20;

INSTANTIATE_TEST_SUITE_P(
    Commands, SimulatedChipBlockErase,
    testing::Values(
        BlockEraseCase{"4K", k1M, 0xEF3014, true, {0x20, 0x01, 0x23, 0x45}, 0x12000, 0x13000, 45'000},
        BlockEraseCase{"32K", k1M, 0xEF3014, true, {0x52, 0x0F, 0x80, 0x00}, 0xF8000, 0x100000, 120'000},
        BlockEraseCase{"64K", k1M, 0xEF3014, true, {0xD8, 0x02, 0xFF, 0xFF}, 0x20000, 0x30000, 150'000},
        BlockEraseCase{"no latch", k1M, 0xEF3014, false, {0x20, 0x00, 0x10, 0x00}, 0, 0, 0},
        BlockEraseCase{"extra byte", k1M, 0xEF3014, true, {0x20, 0x00, 0x10, 0x00, 0x00}, 0, 0, 0},
        BlockEraseCase{"short", k1M, 0xEF3014, true, {0xD8, 0x00, 0x10}, 0, 0, 0},
        BlockEraseCase{"4-byte 4K on a 3-byte part", k1M, 0xEF3014, true, {0x21, 0, 0, 0x10, 0}, 0, 0, 0},
        BlockEraseCase{
            "4-byte 4K", k32M, 0xEF4019, true, {0x21, 0x01, 0x23, 0x40, 0x00}, 0x1234000, 0x1235000, 45'000},
        BlockEraseCase{"4-byte 32K",
                       k32M,
                       0xEF4019,
                       true,
                       {0x5C, 0x01, 0xFF, 0x80, 0x00},
                       0x1FF8000,
                       0x2000000,
                       120'000},
        BlockEraseCase{"4-byte 64K",
                       k32M,
                       0xEF4019,
                       true,
                       {0xDC, 0x01, 0x00, 0x00, 0x00},
                       0x1000000,
                       0x1010000,
                       150'000},
        BlockEraseCase{"3-byte 64K on a 32 MiB part",
                       k32M,
                       0xEF4019,
                       true,
                       {0xD8, 0x10, 0x00, 0x00},
                       0x100000,
                       0x110000,
                       150'000}),
    [](const testing::TestParamInfo<BlockEraseCase>& info) {
        std::string name;
        for (const char* p = info.param.what; *p; ++p) {
            name += std::isalnum(static_cast<unsigned char>(*p)) ? *p : '_';
        }
        return name;
    });

TEST_F(SimulatedChipTest, BlockEraseIsRefusedWhereAnyOfItIsProtected) {
    // BP = 1 guards the upper 1/16 (the last 4 KiB of this 64 KiB chip).
    for (uint32_t address : {0x0000u, 0xF000u}) {
        wren();
        program(address, {0x00});
        settle();
    }
    chip.setProtection(1, false);
    wren();
    EXPECT_EQ(send({spi::kErase64K, 0x00, 0x00, 0x00}), SimulatedChip::Event::None);
    EXPECT_EQ(bytes(0xF000, 1), std::vector<uint8_t>{0x00});
    EXPECT_EQ(bytes(0x0000, 1), std::vector<uint8_t>{0x00});
    wren();
    EXPECT_EQ(send({spi::kErase4K, 0x00, 0x00, 0x00}), SimulatedChip::Event::BlockErased);
    EXPECT_EQ(bytes(0x0000, 1), std::vector<uint8_t>{0xFF});
}

TEST_F(SimulatedChipTest, SequentialReadWrapsAtTheEndAndIgnoresHighAddressBits) {
    wren();
    program(0, {0x11});
    settle();
    wren();
    program(kSize - 1, {0x22});
    settle();
    send({spi::kRead, 0x00, 0xFF, 0xFF}, 3);
    EXPECT_EQ(in, (std::vector<uint8_t>{0x22, 0x11, 0xFF}));
    send({spi::kRead, 0x01, 0x00, 0x00}, 1);  // 64 KiB + 0 on a 64 KiB chip
    EXPECT_EQ(in, std::vector<uint8_t>{0x11});
}

TEST_F(SimulatedChipTest, FourByteCommandsOnlyOnChipsAbove16MiB) {
    send({spi::kRead4Byte, 0, 0, 0, 0}, 1);
    EXPECT_EQ(in, std::vector<uint8_t>{0xFF});
    wren();
    EXPECT_EQ(send({spi::kPageProgram4Byte, 0, 0, 0, 0, 0x00}), SimulatedChip::Event::None);

    SimulatedChip big(0xEF4019, std::vector<uint8_t>(32u << 20, 0xFF), nullptr);
    std::vector<uint8_t> none;
    big.transact(std::vector<uint8_t>{spi::kWriteEnable}, none);
    EXPECT_EQ(big.transact(std::vector<uint8_t>{spi::kPageProgram4Byte, 0x01, 0x80, 0x00, 0x10, 0x42}, none),
              SimulatedChip::Event::Programmed);
    EXPECT_EQ(big.contents()[0x01800010], 0x42);
    big.elapse(1'000'000);
    std::vector<uint8_t> got(1);
    big.transact(std::vector<uint8_t>{spi::kRead4Byte, 0x01, 0x80, 0x00, 0x10}, got);
    EXPECT_EQ(got[0], 0x42);
}

TEST_F(SimulatedChipTest, BlockProtectGuardsTheTopAndRefusesChipErase) {
    wren();
    ASSERT_EQ(send({spi::kWriteStatus, spi::kStatusBp1}), SimulatedChip::Event::StatusWritten);
    settle();
    EXPECT_EQ(chip.status(), spi::kStatusBp1);
    // BP = 2: the upper eighth.
    wren();
    EXPECT_EQ(program(kSize - kSize / 8, {0x00}), SimulatedChip::Event::None);
    EXPECT_EQ(chip.status() & spi::kStatusWriteEnabled, 0);
    wren();
    EXPECT_EQ(program(kSize - kSize / 8 - 1, {0x00}), SimulatedChip::Event::Programmed);
    settle();
    wren();
    EXPECT_EQ(send({spi::kChipErase}), SimulatedChip::Event::None);
    EXPECT_EQ(bytes(kSize - kSize / 8 - 1, 1), std::vector<uint8_t>{0x00});
    // Status bits other than the block-protect ones cannot be written.
    wren();
    send({spi::kWriteStatus, 0xFF});
    settle();
    EXPECT_EQ(chip.status(), spi::kStatusBpMask);
    wren();
    EXPECT_EQ(program(0, {0x00}), SimulatedChip::Event::None) << "BP = 7 guards everything";
}

TEST_F(SimulatedChipTest, FailedStoreKillsTheChip) {
    store.failing = true;
    wren();
    EXPECT_EQ(program(0, {0x00}), SimulatedChip::Event::Programmed);
    EXPECT_FALSE(chip.failed());
    EXPECT_FALSE(chip.flush());
    EXPECT_TRUE(chip.failed());
    EXPECT_FALSE(chip.flush());
    send({spi::kJedecId}, 3);
    EXPECT_EQ(in, (std::vector<uint8_t>{0xFF, 0xFF, 0xFF}));
    send({spi::kReadStatus}, 1);
    EXPECT_EQ(in, std::vector<uint8_t>{0xFF}) << "a dead chip reads as busy";
}

TEST_F(SimulatedChipTest, UnknownCommandsAreIgnored) {
    wren();
    send({0xAB, 0, 0, 0}, 2);
    EXPECT_EQ(in, (std::vector<uint8_t>{0xFF, 0xFF}));
    EXPECT_EQ(chip.status(), spi::kStatusWriteEnabled);
}

}  // namespace
}  // namespace velmor

namespace velmor {
namespace {

ChipDatabase modelDatabase() {
    ChipDatabase db;
    db.addText(
        "EF4020 64M 256 4K:20,32K:52,64K:D8 3/4 3.3 - - Winbond W25Q512JV\n"
        "EF7018 16M 256 4K:20,64K:D8 4 3.3 - - Test FOURBYTE\n",
        "test", [](const std::string& m) { ADD_FAILURE() << m; });
    return db;
}

TEST(SimulatedChipModelTest, DatabaseRowGivesSizeAddressModeAndItsSfdpTable) {
    const SimulatedChipModel model = simulatedChipModel(0xEF4020, 1u << 20, true, modelDatabase());
    EXPECT_EQ(model.size, 64u << 20);
    EXPECT_EQ(model.address, AddressMode::ThreeOrFour);
    const std::optional<SfdpInfo> sfdp = parseSfdp(model.sfdp);
    ASSERT_TRUE(sfdp);
    EXPECT_EQ(sfdp->size, 64u << 20);
    EXPECT_EQ(sfdp->erase.size(), 3u);
    EXPECT_EQ(sfdp->erase4kOpcode, 0x20);
    EXPECT_EQ(sfdp->address, AddressMode::ThreeOrFour);
}

TEST(SimulatedChipModelTest, IdWithoutARowKeepsTheConfiguredSizeAndSfdpCanBeOff) {
    const SimulatedChipModel model = simulatedChipModel(0x684018, 16u << 20, true, modelDatabase());
    EXPECT_EQ(model.size, 16u << 20);
    EXPECT_EQ(parseSfdp(model.sfdp)->size, 16u << 20);
    EXPECT_TRUE(simulatedChipModel(0x684018, 16u << 20, false, modelDatabase()).sfdp.empty());
}

TEST(SimulatedChipModelTest, ChipAnswersSfdpWithDummyByteAndFloatsHighPastTheTable) {
    SimulatedChipModel model = simulatedChipModel(0x684018, 1u << 20, true, ChipDatabase{});
    const std::vector<uint8_t> table = model.sfdp;
    SimulatedChip chip(std::move(model), std::vector<uint8_t>(1u << 20, 0xFF), nullptr);
    std::vector<uint8_t> in(table.size() + 2);
    chip.transact(std::vector<uint8_t>{spi::kReadSfdp, 0, 0, 0, 0}, in);
    EXPECT_TRUE(std::equal(table.begin(), table.end(), in.begin()));
    EXPECT_EQ(in[table.size()], 0xFF);
    std::vector<uint8_t> tail(4);
    chip.transact(std::vector<uint8_t>{spi::kReadSfdp, 0, 0, 0x30, 0}, tail);
    EXPECT_TRUE(std::equal(tail.begin(), tail.end(), table.begin() + 0x30));
}

TEST(SimulatedChipModelTest, FourByteOnlyChipTakesFourAddressBytesOnEveryRead) {
    SimulatedChipModel model = simulatedChipModel(0xEF7018, 0, false, modelDatabase());
    std::vector<uint8_t> memory(16u << 20, 0xFF);
    memory[0x123456] = 0x5A;
    SimulatedChip chip(std::move(model), std::move(memory), nullptr);
    EXPECT_TRUE(chip.fourByteAddresses());
    std::vector<uint8_t> in(1);
    chip.transact(std::vector<uint8_t>{spi::kRead, 0x00, 0x12, 0x34, 0x56}, in);
    EXPECT_EQ(in[0], 0x5A);
    chip.transact(std::vector<uint8_t>{spi::kRead4Byte, 0x00, 0x12, 0x34, 0x56}, in);
    EXPECT_EQ(in[0], 0x5A);
    chip.transact(std::vector<uint8_t>{spi::kExit4ByteMode}, {});
    EXPECT_TRUE(chip.fourByteAddresses());
}

TEST(SimulatedChipModelTest, ThreeOrFourByteChipEntersAndLeavesFourByteMode) {
    std::vector<uint8_t> memory(64u << 20, 0xFF);
    memory[0x2000010] = 0x77;
    memory[0x0000010] = 0x11;
    SimulatedChip chip(simulatedChipModel(0xEF4020, 0, false, modelDatabase()), std::move(memory), nullptr);
    std::vector<uint8_t> in(1);
    chip.transact(std::vector<uint8_t>{spi::kRead, 0x00, 0x00, 0x10}, in);
    EXPECT_EQ(in[0], 0x11);
    chip.transact(std::vector<uint8_t>{spi::kEnter4ByteMode}, {});
    chip.transact(std::vector<uint8_t>{spi::kRead, 0x02, 0x00, 0x00, 0x10}, in);
    EXPECT_EQ(in[0], 0x77);
    chip.transact(std::vector<uint8_t>{spi::kExit4ByteMode}, {});
    EXPECT_FALSE(chip.fourByteAddresses());
}

}  // namespace
}  // namespace velmor
