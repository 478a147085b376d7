#include "OperationFixture.h"

namespace {

class AutoSequenceTest : public OperationFixture {
protected:
    void SetUp() override { driver.SetChip(std::vector<uint8_t>(kChip, 0x00)); }  // erase is needed
};

TEST_F(AutoSequenceTest, EraseProgramVerifyOnOneConnection) {
    const auto file = Pattern(10000);
    LoadImage(file);
    EXPECT_TRUE(Run(WorkerCode::Auto));
    Lines calls = CheckCalls();
    calls.insert(calls.end(),
                 {"QuovixSetVerifyLater(7,1)", "QuovixInitFlash(7)", "QuovixSetFlashInfo(7,5,131072)",
                  "QuovixSetWriteTime(7,500)", "QuovixProgram(7,8192,0)", "QuovixProgram(7,1808,8192)",
                  "QuovixRead(7,8192,0)", "QuovixRead(7,8192,8192)", "QuovixClose(7)"});
    EXPECT_EQ(driver.CallTexts(), calls);
    EXPECT_EQ(Seen(), (Lines{"status:芯片擦除中...", "status:芯片擦除成功...", "wave:sound/del.wav",
                             "show-progress", "progress:0|已烧录0%", "progress:81|已烧录81%",
                             "progress:100|已烧录100%", "hide-progress", "status:烧录成功...",
                             "show-progress", "progress:0|已校验0%", "progress:81|已校验81%",
                             "progress:100|已校验100%", "hide-progress", "status:校验成功...",
                             "status:自动擦除、烧录、校验成功...", "wave:sound/finishsound.wav"}));
    EXPECT_EQ(BusyAt(FakeEntry::InitFlash), Lines{"E"});
    EXPECT_EQ(BusyAt(FakeEntry::Program), (Lines{"P", "P"}));
    EXPECT_EQ(BusyAt(FakeEntry::Read), (Lines{"V", "V"}));
    EXPECT_EQ(BusyAt(FakeEntry::Close), Lines{""});
    const auto chip = driver.Chip();
    EXPECT_TRUE(std::equal(file.begin(), file.end(), chip.begin()));
}

TEST_F(AutoSequenceTest, OverflowIsAskedOnceBeforeTheErase) {
    const auto file = Pattern(kChip + 1);
    LoadImage(file);
    boxes.QueueAnswer(MessageAnswer::Yes);
    EXPECT_TRUE(Run(WorkerCode::Auto));
    EXPECT_EQ(log.With("box:"), (Lines{"box:提示|question|文件长度大于芯片存储量!      \r\n       继续烧录？",
                                       "box:提示|exclamation|校验成功，溢出部分未校验！   "}));
    // The question comes before the erase's first news.
    const Lines seen = Seen();
    ASSERT_GE(seen.size(), 2u);
    EXPECT_EQ(seen[0], "box:提示|question|文件长度大于芯片存储量!      \r\n       继续烧录？");
    EXPECT_EQ(seen[1], "status:芯片擦除中...");
    EXPECT_EQ(
        log.With("status:"),
        (Lines{"status:芯片擦除中...", "status:芯片擦除成功...", "status:烧录成功，溢出部分未烧录...|alert",
               "status:校验成功,溢出部分未校验...|alert", "status:自动擦除、烧录、校验成功..."}));
    EXPECT_EQ(log.With("wave:"), (Lines{"wave:sound/del.wav", "wave:sound/finishsound.wav"}));
    EXPECT_EQ(driver.CallCount(FakeEntry::Close), 1);
}

TEST_F(AutoSequenceTest, OverflowAnsweredNoLeavesTheChipAsItWas) {
    LoadImage(Pattern(kChip + 1));
    boxes.QueueAnswer(MessageAnswer::No);
    EXPECT_FALSE(Run(WorkerCode::Auto));
    EXPECT_EQ(Seen(), (Lines{"box:提示|question|文件长度大于芯片存储量!      \r\n       继续烧录？"}));
    EXPECT_EQ(driver.CallCount(FakeEntry::InitFlash), 0);
    EXPECT_EQ(driver.CallCount(FakeEntry::Program), 0);
    EXPECT_EQ(driver.CallTexts().back(), "QuovixClose(7)");
    EXPECT_EQ(driver.Chip(), std::vector<uint8_t>(kChip, 0x00));
}

TEST_F(AutoSequenceTest, EraseFailureEndsWithItsOwnNews) {
    LoadImage(Pattern(1000));
    driver.SetResult(FakeEntry::InitFlash, 0);
    EXPECT_FALSE(Run(WorkerCode::Auto));
    EXPECT_EQ(Seen(), (Lines{"status:芯片擦除中...", "status:芯片擦除失败...|alert|beep"}));
    Lines calls = CheckCalls();
    calls.insert(calls.end(), {"QuovixSetVerifyLater(7,1)", "QuovixInitFlash(7)", "QuovixClose(7)"});
    EXPECT_EQ(driver.CallTexts(), calls);
}

TEST_F(AutoSequenceTest, ProgramFailureStopsBeforeVerify) {
    LoadImage(Pattern(20000));
    driver.FailCall(FakeEntry::Program, 2);
    EXPECT_FALSE(Run(WorkerCode::Auto));
    EXPECT_EQ(driver.CallCount(FakeEntry::Read), 0);
    EXPECT_EQ(Seen().back(), "status:烧录失败，请检查设备连接和芯片容量...|alert|beep");
    EXPECT_EQ(log.With("wave:"), Lines{"wave:sound/del.wav"});
    // The step closed the connection; the sequence's own close finds nothing open.
    EXPECT_EQ(driver.CallCount(FakeEntry::Close), 1);
}

TEST_F(AutoSequenceTest, DifferencesEndWithTheSummaryBox) {
    const auto file = Pattern(10000);
    LoadImage(file);
    // Address 77 (4DH) reads back wrong after the first block was written.
    onCall = [this, &file](const FakeCall& call) {
        if (call.entry != FakeEntry::Program || call.args[2] != 0) return;
        auto chip = driver.Chip();
        chip[77] = static_cast<uint8_t>(file[77] ^ 0x01);
        driver.SetChip(chip);
    };
    EXPECT_FALSE(Run(WorkerCode::Auto));
    const Lines boxesShown = log.With("box:");
    ASSERT_EQ(boxesShown.size(), 2u);
    EXPECT_EQ(boxesShown[0].rfind("box:错误 |exclamation|4DH处错误! ", 0), 0u) << boxesShown[0];
    EXPECT_EQ(Seen().back(), "box:提示|exclamation|校验结束，共1个错误!    ");
    EXPECT_EQ(log.With("wave:"), Lines{"wave:sound/del.wav"});
    EXPECT_EQ(driver.CallTexts().back(), "QuovixClose(7)");
}

TEST_F(AutoSequenceTest, NoFileBeepsUnlikeTheSingleCommands) {
    EXPECT_FALSE(Run(WorkerCode::Auto));
    EXPECT_EQ(Seen(),
              (Lines{"status:文件尚未打开...|alert|beep", "box:提示|exclamation|文件尚未打开！    "}));
    EXPECT_TRUE(driver.CallTexts().empty());
}

}  // namespace
