#include <optional>

#include "OperationFixture.h"

namespace {

constexpr uint32_t k4K = 4096;

VelmorEraseBlocks Blocks(uint32_t count) {
    VelmorEraseBlocks blocks{};
    blocks.count = count;
    const uint32_t sizes[] = {4096, 32768, 65536};
    const uint32_t opcodes[] = {0x20, 0x52, 0xD8};
    for (uint32_t i = 0; i < count && i < 3; ++i) {
        blocks.size[i] = sizes[i];
        blocks.opcode[i] = opcodes[i];
    }
    return blocks;
}

std::string Call(const char* name, std::initializer_list<uint32_t> args) {
    std::string text = std::string(name) + "(7";
    for (uint32_t a : args) text += "," + std::to_string(a);
    return text + ")";
}

class ChangedWriteTest : public OperationFixture {
protected:
    void SetUp() override {
        driver.SetEraseBlocks(Blocks(3));
        file = Pattern(kChip, 9);
        // Sector 2 holds a set bit the file clears and a cleared bit it sets: erase.
        // Sector 5 has a page still blank where the file has data: program only.
        // Sector 6 likewise, and is also erased when a test makes it so.
        std::vector<uint8_t> chip = file;
        chip[2 * k4K + 10] = static_cast<uint8_t>(~file[2 * k4K + 10]);
        std::fill_n(chip.begin() + 5 * k4K + 512, 256, 0xFF);
        driver.SetChip(chip);
    }

    // The calls a changed-only write makes up to its first read.
    static Lines Opening() {
        Lines calls = CheckCalls();
        calls.insert(calls.end(), {"QuovixSetFlashInfo(7,5,131072)", "QuovixSetWriteTime(7,500)",
                                   "QuovixGetEraseBlocks(7)"});
        return calls;
    }
    static Lines ReadPass() {
        Lines reads;
        for (uint32_t a = 0; a < kChip; a += 8192) reads.push_back(Call("QuovixRead", {8192, a}));
        return reads;
    }

    std::vector<uint8_t> file;
};

TEST_F(ChangedWriteTest, ErasesAndProgramsOnlyTheDifferingSectorsThenVerifiesThem) {
    LoadImage(file);
    EXPECT_TRUE(Run(WorkerCode::ChangedWrite));
    Lines calls = Opening();
    const Lines reads = ReadPass();
    calls.insert(calls.end(), reads.begin(), reads.end());
    calls.insert(calls.end(),
                 {"QuovixSetVerifyLater(7,1)", Call("QuovixEraseRange", {2 * k4K, k4K}),
                  Call("QuovixProgram", {k4K, 2 * k4K}), Call("QuovixProgram", {256, 5 * k4K + 512}),
                  Call("QuovixRead", {k4K, 2 * k4K}), Call("QuovixRead", {k4K, 5 * k4K}),
                  "QuovixSetVerifyLater(7,0)", "QuovixClose(7)"});
    EXPECT_EQ(driver.CallTexts(), calls);
    EXPECT_EQ(driver.Chip(), file);
    EXPECT_EQ(log.With("status:"),
              (Lines{"status:正在差异烧录...", "status:差异烧录成功，共32个扇区，改写2个..."}));
    const Lines progress = log.With("progress:");
    ASSERT_FALSE(progress.empty());
    EXPECT_EQ(progress.front(), "progress:0|已读取0%");
    EXPECT_EQ(progress[16], "progress:50|已读取50%");
    EXPECT_EQ(progress.back(), "progress:100|已校验100%");
    EXPECT_EQ(log.With("wave:"), Lines{"wave:sound/finishsound.wav"});
    EXPECT_EQ(BusyAt(FakeEntry::EraseRange), Lines{"P"});
    const OperationOutcome outcome = LastOutcome();
    EXPECT_EQ(outcome.kind, OutcomeKind::Success);
    EXPECT_EQ(outcome.sectors, 32u);
    EXPECT_EQ(outcome.touched, 2u);
}

TEST_F(ChangedWriteTest, OverflowAnsweredNoReadsNothing) {
    LoadImage(Pattern(kChip + 1));
    boxes.QueueAnswer(MessageAnswer::No);
    EXPECT_FALSE(Run(WorkerCode::ChangedWrite));
    EXPECT_EQ(Seen(), (Lines{"box:提示|question|文件长度大于芯片存储量!      \r\n       继续烧录？"}));
    Lines calls = CheckCalls();
    calls.push_back("QuovixClose(7)");
    EXPECT_EQ(driver.CallTexts(), calls);
}

struct FailureRow {
    const char* name;
    FakeEntry entry;
    int call;              // the failing call of `entry`
    uint32_t erasedFirst;  // bytes the failing block erase reports done
    uint32_t address;
    const char* status;
};

class ChangedWriteFailureTest : public ChangedWriteTest, public ::testing::WithParamInterface<FailureRow> {};

// Sectors 2 and 6 need erases (two runs); sector 5 only programming.
TEST_P(ChangedWriteFailureTest, NamesTheSectorAndClaimsNoSuccess) {
    const FailureRow& row = GetParam();
    std::vector<uint8_t> chip = driver.Chip();
    chip[6 * k4K + 3] = static_cast<uint8_t>(~file[6 * k4K + 3]);
    chip[7 * k4K + 3] = static_cast<uint8_t>(~file[7 * k4K + 3]);
    driver.SetChip(chip);
    driver.FailCall(row.entry, row.call);
    if (row.entry == FakeEntry::EraseRange) driver.ReportOnCall(row.entry, row.call, row.erasedFirst);
    LoadImage(file);
    EXPECT_FALSE(Run(WorkerCode::ChangedWrite));
    const OperationOutcome outcome = LastOutcome();
    EXPECT_EQ(outcome.kind, OutcomeKind::DriverFailed);
    EXPECT_EQ(outcome.address, row.address);
    EXPECT_EQ(log.With("status:"), (Lines{"status:正在差异烧录...", row.status}));
    EXPECT_EQ(log.With("wave:"), Lines{});
    const Lines calls = driver.CallTexts();
    EXPECT_EQ(Lines(calls.end() - 2, calls.end()), (Lines{"QuovixSetVerifyLater(7,0)", "QuovixClose(7)"}));
}

INSTANTIATE_TEST_SUITE_P(
    Cases, ChangedWriteFailureTest,
    ::testing::Values(FailureRow{"SecondEraseRun", FakeEntry::EraseRange, 2, 0, 6 * k4K,
                                 "status:扇区6000H擦除失败，请检查设备连接和芯片容量...|alert|beep"},
                      // The run of sectors 6 and 7 fails in its second block.
                      FailureRow{"SecondBlockOfARun", FakeEntry::EraseRange, 2, k4K, 7 * k4K,
                                 "status:扇区7000H擦除失败，请检查设备连接和芯片容量...|alert|beep"},
                      FailureRow{"ProgramOfTheSecondTouchedSector", FakeEntry::Program, 2, 0, 5 * k4K,
                                 "status:扇区5000H烧录失败，请检查设备连接和芯片容量...|alert|beep"},
                      FailureRow{"VerifyRead", FakeEntry::Read, 17, 0, 2 * k4K,
                                 "status:校验失败，请检查设备连接和芯片容量...|alert|beep"},
                      FailureRow{"ComparingRead", FakeEntry::Read, 3, 0, 16384,
                                 "status:读取失败，请检查设备连接和芯片容量...|alert|beep"}),
    [](const auto& info) { return std::string(info.param.name); });

struct FallbackRow {
    const char* name;
    uint32_t blockCount;
    std::optional<FakeEntry> removed;  // an older library's missing entry point
};

class ChangedWriteFallbackTest : public ChangedWriteTest,
                                 public ::testing::WithParamInterface<FallbackRow> {};

TEST_P(ChangedWriteFallbackTest, RunsTheWholeAutoSequenceSayingSo) {
    const FallbackRow& row = GetParam();
    driver.SetEraseBlocks(Blocks(row.blockCount));
    if (row.removed) driver.Remove(*row.removed);
    device->SetApi(driver.Api());
    LoadImage(file);
    EXPECT_TRUE(Run(WorkerCode::ChangedWrite));
    EXPECT_EQ(log.With("status:"), (Lines{"status:芯片擦除块未知，改为自动烧录...", "status:芯片擦除中...",
                                          "status:芯片擦除成功...", "status:烧录成功...",
                                          "status:校验成功...", "status:自动擦除、烧录、校验成功..."}));
    EXPECT_EQ(driver.CallCount(FakeEntry::InitFlash), 1);
    EXPECT_EQ(driver.CallCount(FakeEntry::EraseRange), 0);
    EXPECT_EQ(driver.Chip(), file);
}

INSTANTIATE_TEST_SUITE_P(Cases, ChangedWriteFallbackTest,
                         ::testing::Values(FallbackRow{"BlocksUnknown", 0, std::nullopt},
                                           FallbackRow{"NoBlockErase", 3, FakeEntry::EraseRange},
                                           FallbackRow{"NoEraseBlocks", 3, FakeEntry::GetEraseBlocks}),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
