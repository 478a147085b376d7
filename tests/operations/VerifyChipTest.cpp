#include "OperationFixture.h"

#include "ImpossibleReport.h"

#include "platform/File.h"

namespace {

class VerifyChipTest : public OperationFixture {
protected:
    // The chip holds `file` followed by erased bytes.
    void ChipHolds(const std::vector<uint8_t>& file) {
        std::vector<uint8_t> chip(kChip, 0xFF);
        std::copy_n(file.begin(), std::min<size_t>(file.size(), kChip), chip.begin());
        driver.SetChip(chip);
    }
    static std::string Hint() { return "\r\n不再提示点击“否”,停止校验点击“取消”    "; }
};

TEST_F(VerifyChipTest, IdenticalShortImageComparesOnlyItsOwnBytes) {
    const auto file = Pattern(10000);
    LoadImage(file);
    ChipHolds(file);
    EXPECT_TRUE(Run(WorkerCode::Verify));
    Lines calls = CheckCalls();
    calls.insert(calls.end(), {"QuovixRead(7,8192,0)", "QuovixRead(7,8192,8192)", "QuovixClose(7)"});
    EXPECT_EQ(driver.CallTexts(), calls);
    EXPECT_EQ(Seen(), (Lines{"show-progress", "progress:0|已校验0%", "progress:81|已校验81%",
                             "progress:100|已校验100%", "hide-progress", "wave:sound/finishsound.wav",
                             "status:校验成功..."}));
    EXPECT_EQ(BusyAt(FakeEntry::Read), (Lines{"V", "V"}));
    EXPECT_EQ(BusyAt(FakeEntry::Close), Lines{""});
}

TEST_F(VerifyChipTest, DifferenceBoxText) {
    EXPECT_EQ(ChipOperations::DifferenceText(0x1A2B, 0x05, 0xFF),
              "1A2BH处错误! \r\n文件数据:05H 片内数据:FFH     " + Hint());
    EXPECT_EQ(ChipOperations::DifferenceText(0, 0x00, 0xA0),
              "0H处错误! \r\n文件数据:00H 片内数据:A0H     " + Hint());
    EXPECT_EQ(ChipOperations::DifferenceText(0x1FFFFFF, 0xC3, 0x0C),
              "1FFFFFFH处错误! \r\n文件数据:C3H 片内数据:0CH     " + Hint());
}

TEST_F(VerifyChipTest, ThreeDifferencesAnsweredYesThenNo) {
    auto file = Pattern(0x3000);
    file[0x1A2B] = 0x05;
    LoadImage(file);
    auto chip = file;
    chip[0x10] ^= 0x01;
    chip[0x1A2B] = 0xFF;
    chip[0x2FFF] ^= 0x80;
    ChipHolds(chip);
    boxes.QueueAnswer(MessageAnswer::Yes);
    boxes.QueueAnswer(MessageAnswer::No);
    EXPECT_FALSE(Run(WorkerCode::Verify));
    char line2[64];
    std::snprintf(line2, sizeof line2, "文件数据:%02XH 片内数据:%02XH", file[0x10], chip[0x10]);
    EXPECT_EQ(Seen(), (Lines{"show-progress", "progress:0|已校验0%",
                             "box:错误 |exclamation|10H处错误! \r\n" + std::string(line2) + "     " + Hint(),
                             "box:错误 |exclamation|1A2BH处错误! \r\n文件数据:05H 片内数据:FFH     " + Hint(),
                             "progress:66|已校验66%", "progress:100|已校验100%", "hide-progress",
                             "status:校验结束，共3个错误...|alert|beep",
                             "box:提示|exclamation|校验结束，共3个错误!    "}));
    EXPECT_EQ(boxes.shown(), 3);
}

TEST_F(VerifyChipTest, CancelAtTheFirstDifferenceStopsAtOnce) {
    auto file = Pattern(30000);
    LoadImage(file);
    auto chip = file;
    chip[5] ^= 0xFF;
    chip[6] ^= 0xFF;
    chip[20000] ^= 0xFF;
    ChipHolds(chip);
    boxes.QueueAnswer(MessageAnswer::Cancel);
    EXPECT_FALSE(Run(WorkerCode::Verify));
    EXPECT_EQ(driver.CallCount(FakeEntry::Read), 1);
    EXPECT_EQ(status.positions(), std::vector<int>{0});
    const Lines seen = Seen();
    EXPECT_EQ(Lines(seen.end() - 3, seen.end()),
              (Lines{"hide-progress", "status:校验结束，共1个错误...|alert|beep",
                     "box:提示|exclamation|校验结束，共1个错误!    "}));
}

TEST_F(VerifyChipTest, ReadFailureAfterDifferencesReportsOnlyTheFailure) {
    auto file = Pattern(20000);
    LoadImage(file);
    auto chip = file;
    chip[100] ^= 0x0F;
    ChipHolds(chip);
    driver.FailCall(FakeEntry::Read, 2);
    EXPECT_FALSE(Run(WorkerCode::Verify));
    const Lines seen = Seen();
    EXPECT_EQ(Lines(seen.end() - 3, seen.end()),
              (Lines{"progress:40|已校验40%", "hide-progress",
                     "status:校验失败，请检查设备连接和芯片容量...|alert|beep"}));
    EXPECT_EQ(boxes.shown(), 1);  // the difference box only, no summary
    EXPECT_EQ(driver.CallTexts().back(), "QuovixClose(7)");
}

TEST_F(VerifyChipTest, ImageOverTheChipIdenticalWithinIt) {
    const auto file = Pattern(kChip + 1);
    LoadImage(file);
    ChipHolds(file);
    EXPECT_TRUE(Run(WorkerCode::Verify));
    EXPECT_EQ(driver.CallCount(FakeEntry::Read), 16);
    const Lines seen = Seen();
    // The bar stands for the bytes compared, so it ends full.
    EXPECT_EQ(Lines(seen.end() - 5, seen.end()),
              (Lines{"progress:100|已校验100%", "hide-progress", "wave:sound/finishsound.wav",
                     "status:校验成功,溢出部分未校验...|alert",
                     "box:提示|exclamation|校验成功，溢出部分未校验！   "}));
}

TEST_F(VerifyChipTest, ImageTwiceTheChipRunsTheBarToTheChipsEnd) {
    const auto file = Pattern(2 * kChip);
    LoadImage(file);
    ChipHolds(file);
    EXPECT_TRUE(Run(WorkerCode::Verify));
    const Lines progress = log.With("progress:");
    ASSERT_GE(progress.size(), 3u);
    EXPECT_EQ(progress[progress.size() / 2].substr(0, 11), "progress:50");
    EXPECT_EQ(progress.back(), "progress:100|已校验100%");
}

TEST_F(VerifyChipTest, DeliveryReachingPastTheChipSizeIsComparedOnlyUpToIt) {
    // A larger part answering as 25X10: reads run on past the selected size.
    driver.SetChipSize(2 * kChip);
    driver.SetChipInfo(5, 16);
    const auto file = Pattern(kChip + 20000);
    LoadImage(file);
    auto chip = std::vector<uint8_t>(2 * kChip, 0xFF);
    std::copy_n(file.begin(), kChip, chip.begin());
    driver.SetChip(chip);
    driver.LimitTransfers(FakeEntry::Read, 3000);  // the last delivery straddles the chip size
    EXPECT_TRUE(Run(WorkerCode::Verify));
    EXPECT_EQ(boxes.shown(), 1);
    EXPECT_EQ(status.lastText(), "校验成功,溢出部分未校验...");
    EXPECT_EQ(driver.CallTexts(FakeEntry::Read).back(), "QuovixRead(7,8192,129000)");
}

TEST_F(VerifyChipTest, DifferencesAndOverflowNameBoth) {
    auto file = Pattern(kChip + 10);
    LoadImage(file);
    auto chip = file;
    chip[kChip - 1] ^= 0x01;
    ChipHolds(chip);
    boxes.QueueAnswer(MessageAnswer::Yes);
    EXPECT_FALSE(Run(WorkerCode::Verify));
    const Lines seen = Seen();
    EXPECT_EQ(Lines(seen.end() - 2, seen.end()),
              (Lines{"status:校验结束，共1个错误,溢出部分未校验...|alert|beep",
                     "box:提示|exclamation|校验结束，共1个错误,溢出部分未校验!    "}));
}

TEST_F(VerifyChipTest, EmptyImageReadsNothingAndSucceeds) {
    LoadImage({});
    EXPECT_TRUE(Run(WorkerCode::Verify));
    EXPECT_EQ(driver.CallCount(FakeEntry::Read), 0);
    EXPECT_EQ(Seen(), (Lines{"show-progress", "progress:0|已校验0%", "hide-progress",
                             "wave:sound/finishsound.wav", "status:校验成功..."}));
}

TEST_F(VerifyChipTest, NoFileRefusesWithoutBeep) {
    EXPECT_FALSE(Run(WorkerCode::Verify));
    EXPECT_EQ(Seen(), (Lines{"status:文件尚未打开...|alert", "box:提示|exclamation|文件尚未打开！    "}));
    EXPECT_TRUE(driver.CallTexts().empty());
}

TEST_F(VerifyChipTest, ShortReadsCompareWhatWasDelivered) {
    auto file = Pattern(20000);
    LoadImage(file);
    auto chip = file;
    chip[4096] ^= 0x01;  // first byte of the second delivery
    ChipHolds(chip);
    driver.LimitTransfers(FakeEntry::Read, 4096);
    boxes.QueueAnswer(MessageAnswer::Yes);
    EXPECT_FALSE(Run(WorkerCode::Verify));
    EXPECT_EQ(driver.CallTexts(FakeEntry::Read),
              (Lines{"QuovixRead(7,8192,0)", "QuovixRead(7,8192,4096)", "QuovixRead(7,8192,8192)",
                     "QuovixRead(7,8192,12288)", "QuovixRead(7,8192,16384)"}));
    EXPECT_EQ(log.With("box:错误 ").size(), 1u);
    EXPECT_NE(log.With("box:错误 ")[0].find("1000H处错误! "), std::string::npos);
    EXPECT_EQ(status.lastText(), "校验结束，共1个错误...");
}

class VerifyReportTest : public VerifyChipTest, public ::testing::WithParamInterface<ImpossibleReport> {};

TEST_P(VerifyReportTest, ImpossibleReportFailsAtThatCall) {
    const ImpossibleReport& c = GetParam();
    const auto file = Pattern(30000);
    LoadImage(file);
    ChipHolds(file);
    driver.ReportOnCall(FakeEntry::Read, c.call, c.report);
    EXPECT_FALSE(Run(WorkerCode::Verify));
    EXPECT_EQ(driver.CallCount(FakeEntry::Read), c.call);
    EXPECT_EQ(Seen().back(), "status:校验失败，请检查设备连接和芯片容量...|alert|beep");
}

INSTANTIATE_TEST_SUITE_P(Reports, VerifyReportTest, ::testing::ValuesIn(kImpossibleReports),
                         ImpossibleReportName);

int FailWorkCopyReadsAfterFirstBlock(const File& file, uint64_t offset, size_t, bool write) {
    if (write || file.Path().find("h_alor1.dll") == std::string::npos) return 0;
    return offset >= 8192 ? 5 /* EIO */ : 0;
}

TEST_F(VerifyChipTest, WorkCopyReadErrorIsAVerifyFailure) {
    auto file = Pattern(20000);
    LoadImage(file);
    auto chip = file;
    chip[1] ^= 1;
    ChipHolds(chip);
    boxes.QueueAnswer(MessageAnswer::Yes);
    File::SetFaultHook(FailWorkCopyReadsAfterFirstBlock);
    EXPECT_FALSE(Run(WorkerCode::Verify));
    File::SetFaultHook(nullptr);
    EXPECT_EQ(driver.CallCount(FakeEntry::Read), 2);
    EXPECT_EQ(Seen().back(), "status:校验失败，请检查设备连接和芯片容量...|alert|beep");
}

}  // namespace
