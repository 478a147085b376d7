#include "OperationFixture.h"

#include "ImpossibleReport.h"

namespace {

using EraseChipTest = OperationFixture;
using BlankCheckTest = OperationFixture;

Lines With(Lines calls, std::initializer_list<std::string> more) {
    calls.insert(calls.end(), more);
    return calls;
}

TEST_F(EraseChipTest, StandaloneEraseReportsPlaysTheEraseSoundAndCloses) {
    driver.SetChip(std::vector<uint8_t>(kChip, 0x00));
    EXPECT_TRUE(Run(WorkerCode::Erase));
    EXPECT_EQ(driver.CallTexts(), With(CheckCalls(), {"QuovixInitFlash(7)", "QuovixClose(7)"}));
    EXPECT_EQ(Seen(), (Lines{"status:芯片擦除中...", "status:芯片擦除成功...", "wave:sound/del.wav"}));
    EXPECT_EQ(BusyAt(FakeEntry::InitFlash), Lines{"E"});
    EXPECT_EQ(BusyAt(FakeEntry::Close), Lines{"E"});  // closed before the flag is cleared
    const auto chip = driver.Chip();
    EXPECT_TRUE(std::all_of(chip.begin(), chip.end(), [](uint8_t b) { return b == 0xFF; }));
}

TEST_F(EraseChipTest, FailedEraseSaysSoWithoutABoxAndReleasesTheProgrammer) {
    driver.SetResult(FakeEntry::InitFlash, 0);
    EXPECT_FALSE(Run(WorkerCode::Erase));
    EXPECT_EQ(Seen(), (Lines{"status:芯片擦除中...", "status:芯片擦除失败...|alert|beep"}));
    EXPECT_EQ(boxes.shown(), 0);
    EXPECT_EQ(driver.CallTexts(), With(CheckCalls(), {"QuovixInitFlash(7)", "QuovixClose(7)"}));
}

TEST_F(EraseChipTest, MissingEraseEntryIsAFailedErase) {
    driver.Remove(FakeEntry::InitFlash);
    device->SetApi(driver.Api());
    EXPECT_FALSE(Run(WorkerCode::Erase));
    EXPECT_EQ(Seen(), (Lines{"status:芯片擦除中...", "status:芯片擦除失败...|alert|beep"}));
}

std::vector<std::string> BlankCaptions(int blocks) {
    std::vector<std::string> out = {"show-progress", "progress:0|已查空0%"};
    for (int k = 1; k <= blocks; ++k) {
        const uint32_t p = static_cast<uint32_t>(k) * 8192u * 100u / 131072u;
        out.push_back("progress:" + std::to_string(p) + "|已查空" + std::to_string(p) + "%");
    }
    return out;
}

Lines BlankReads(int count) {
    Lines reads;
    for (int k = 0; k < count; ++k) reads.push_back("QuovixRead(7,8192," + std::to_string(k * 8192) + ")");
    return reads;
}

TEST_F(BlankCheckTest, BlankChipIsReadInSixteenBlocks) {
    EXPECT_TRUE(Run(WorkerCode::BlankCheck));
    EXPECT_EQ(driver.CallTexts(FakeEntry::Read), BlankReads(16));
    Lines expected = BlankCaptions(16);
    expected.insert(expected.end(), {"hide-progress", "wave:sound/finishsound.wav", "status:芯片为空...",
                                     "box:提示|information|芯片为空!   "});
    EXPECT_EQ(Seen(), expected);
    EXPECT_EQ(status.positions().back(), 100);
    EXPECT_EQ(BusyAt(FakeEntry::Read), Lines(16, "B"));
    EXPECT_EQ(BusyAt(FakeEntry::Close), Lines{""});
}

TEST_F(BlankCheckTest, LastByteProgrammedStopsTheBarAt93) {
    auto chip = std::vector<uint8_t>(kChip, 0xFF);
    chip.back() = 0x00;
    driver.SetChip(chip);
    EXPECT_FALSE(Run(WorkerCode::BlankCheck));
    EXPECT_EQ(driver.CallCount(FakeEntry::Read), 16);
    Lines expected = BlankCaptions(15);
    expected.insert(expected.end(),
                    {"hide-progress", "status:芯片不为空!|alert", "box:提示|exclamation|芯片不为空!   "});
    EXPECT_EQ(Seen(), expected);
    EXPECT_EQ(status.positions().back(), 93);
}

TEST_F(BlankCheckTest, ProgrammedByteInTheFirstBlockNeedsOneRead) {
    auto chip = std::vector<uint8_t>(kChip, 0xFF);
    chip[8191] = 0xFE;
    driver.SetChip(chip);
    EXPECT_FALSE(Run(WorkerCode::BlankCheck));
    EXPECT_EQ(driver.CallTexts(), With(CheckCalls(), {"QuovixRead(7,8192,0)", "QuovixClose(7)"}));
    EXPECT_EQ(status.positions(), std::vector<int>{0});
}

TEST_F(BlankCheckTest, ReadFailureReportsWithoutBox) {
    driver.FailCall(FakeEntry::Read, 3);
    EXPECT_FALSE(Run(WorkerCode::BlankCheck));
    Lines expected = BlankCaptions(2);
    expected.insert(expected.end(),
                    {"hide-progress", "status:查空失败，请检查设备连接和芯片容量...|alert|beep"});
    EXPECT_EQ(Seen(), expected);
    EXPECT_EQ(driver.CallTexts(), With(CheckCalls(), {"QuovixRead(7,8192,0)", "QuovixRead(7,8192,8192)",
                                                      "QuovixRead(7,8192,16384)", "QuovixClose(7)"}));
}

TEST_F(BlankCheckTest, ShortReadsAdvanceByWhatWasDelivered) {
    driver.LimitTransfers(FakeEntry::Read, 4096);
    EXPECT_TRUE(Run(WorkerCode::BlankCheck));
    const auto reads = driver.CallTexts(FakeEntry::Read);
    ASSERT_EQ(reads.size(), 32u);
    EXPECT_EQ(reads[1], "QuovixRead(7,8192,4096)");
    EXPECT_EQ(reads.back(), "QuovixRead(7,8192,126976)");
}

// The chip says 128 KiB but answers past it, 8000 bytes per read: the check
// stops counting at the capacity, never looks at the bytes beyond it, and the
// bar ends at exactly 100%.
TEST_F(BlankCheckTest, CountsNothingPastTheCapacity) {
    auto chip = std::vector<uint8_t>(4 * kChip, 0xFF);
    chip[kChip + 100] = 0x00;  // read by the last request, but beyond the capacity
    driver.SetChip(chip);
    driver.SetChipInfo(5, 16);
    driver.LimitTransfers(FakeEntry::Read, 8000);
    EXPECT_TRUE(Run(WorkerCode::BlankCheck));
    EXPECT_EQ(driver.CallCount(FakeEntry::Read), 17);
    EXPECT_EQ(driver.CallTexts(FakeEntry::Read).back(), "QuovixRead(7,8192,128000)");
    EXPECT_EQ(status.positions().back(), 100);
    for (const int p : status.positions()) EXPECT_LE(p, 100);
    EXPECT_EQ(status.lastText(), "芯片为空...");
}

class BlankCheckReportTest : public OperationFixture,
                             public ::testing::WithParamInterface<ImpossibleReport> {};

TEST_P(BlankCheckReportTest, ImpossibleReportFailsAtThatCall) {
    const ImpossibleReport& c = GetParam();
    driver.ReportOnCall(FakeEntry::Read, c.call, c.report);
    EXPECT_FALSE(Run(WorkerCode::BlankCheck));
    EXPECT_EQ(driver.CallCount(FakeEntry::Read), c.call);
    EXPECT_EQ(Seen().back(), "status:查空失败，请检查设备连接和芯片容量...|alert|beep");
}

INSTANTIATE_TEST_SUITE_P(Reports, BlankCheckReportTest, ::testing::ValuesIn(kImpossibleReports),
                         ImpossibleReportName);

}  // namespace
