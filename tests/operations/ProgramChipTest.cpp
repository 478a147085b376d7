#include "OperationFixture.h"

#include "ImpossibleReport.h"

#include "platform/File.h"

namespace {

class ProgramChipTest : public OperationFixture {
protected:
    Lines CallsThenProgram(std::initializer_list<std::string> programCalls, bool close = true) const {
        Lines calls = CheckCalls();
        calls.push_back("QuovixSetFlashInfo(7,5,131072)");
        calls.push_back("QuovixSetWriteTime(7,500)");
        calls.insert(calls.end(), programCalls);
        if (close) calls.push_back("QuovixClose(7)");
        return calls;
    }
};

TEST_F(ProgramChipTest, TenThousandBytesGoInTwoBlocks) {
    const auto file = Pattern(10000);
    LoadImage(file);
    EXPECT_TRUE(Run(WorkerCode::Program));
    EXPECT_EQ(driver.CallTexts(),
              CallsThenProgram({"QuovixProgram(7,8192,0)", "QuovixProgram(7,1808,8192)"}));
    EXPECT_EQ(Seen(), (Lines{"show-progress", "progress:0|已烧录0%", "progress:81|已烧录81%",
                             "progress:100|已烧录100%", "hide-progress", "status:烧录成功...",
                             "wave:sound/finishsound.wav"}));
    EXPECT_EQ(ProgrammedBytes(), file);
    const auto chip = driver.Chip();
    EXPECT_TRUE(std::equal(file.begin(), file.end(), chip.begin()));
    EXPECT_TRUE(std::all_of(chip.begin() + 10000, chip.end(), [](uint8_t b) { return b == 0xFF; }));
}

TEST_F(ProgramChipTest, BusyOnlyWhileBlocksAreWritten) {
    LoadImage(Pattern(10000));
    Run(WorkerCode::Program);
    EXPECT_EQ(BusyAt(FakeEntry::Program), (Lines{"P", "P"}));
    EXPECT_EQ(BusyAt(FakeEntry::Enum), Lines{""});
    EXPECT_EQ(BusyAt(FakeEntry::SetWriteTime), (Lines{"", ""}));
    EXPECT_EQ(BusyAt(FakeEntry::Close), Lines{""});
}

TEST_F(ProgramChipTest, ImageAsLargeAsTheChipAsksNothing) {
    LoadImage(Pattern(kChip));
    EXPECT_TRUE(Run(WorkerCode::Program));
    EXPECT_EQ(boxes.shown(), 0);
    EXPECT_EQ(driver.CallCount(FakeEntry::Program), 16);
    EXPECT_EQ(status.positions().back(), 100);
    EXPECT_EQ(status.lastText(), "烧录成功...");
}

TEST_F(ProgramChipTest, OneByteOverTheChipAnsweredYesWritesTheChipSize) {
    const auto file = Pattern(kChip + 1);
    LoadImage(file);
    boxes.QueueAnswer(MessageAnswer::Yes);
    EXPECT_TRUE(Run(WorkerCode::Program));
    const Lines seen = Seen();
    ASSERT_GE(seen.size(), 4u);
    EXPECT_EQ(seen.front(), "box:提示|question|文件长度大于芯片存储量!      \r\n       继续烧录？");
    EXPECT_EQ(Lines(seen.end() - 5, seen.end()),
              (Lines{"progress:99|已烧录99%", "hide-progress", "status:烧录成功，溢出部分未烧录...|alert",
                     "box:提示|exclamation|烧录成功，溢出部分未烧录！    ", "wave:sound/finishsound.wav"}));
    EXPECT_EQ(ProgrammedBytes(), std::vector<uint8_t>(file.begin(), file.begin() + kChip));
    // The question comes after the check and before the chip is prepared.
    const auto calls = driver.CallTexts();
    EXPECT_EQ(Lines(calls.begin(), calls.begin() + 8), CallsThenProgram({}, false));
}

TEST_F(ProgramChipTest, OneByteOverTheChipAnsweredNoClosesAndLeavesTheStatus) {
    LoadImage(Pattern(kChip + 1));
    boxes.QueueAnswer(MessageAnswer::No);
    EXPECT_FALSE(Run(WorkerCode::Program));
    EXPECT_EQ(Seen(), Lines{"box:提示|question|文件长度大于芯片存储量!      \r\n       继续烧录？"});
    Lines calls = CheckCalls();
    calls.push_back("QuovixClose(7)");
    EXPECT_EQ(driver.CallTexts(), calls);
}

TEST_F(ProgramChipTest, NoProgrammerAndOverflowAsksFirst) {
    driver.SetResult(FakeEntry::Enum, 0);
    LoadImage(Pattern(1048577));  // the default 25X80 stays selected
    boxes.QueueAnswer(MessageAnswer::Yes);
    EXPECT_FALSE(Run(WorkerCode::Program));
    EXPECT_EQ(Seen(), (Lines{"box:提示|question|文件长度大于芯片存储量!      \r\n       继续烧录？",
                             "status:设备未连接...|alert|beep", "box:提示|exclamation|设备未连接！    ",
                             "hide-progress"}));
    EXPECT_EQ(driver.CallTexts(), Lines{"QuovixEnum()"});
}

TEST_F(ProgramChipTest, NoProgrammerAndOverflowAnsweredNoSaysNothingElse) {
    driver.SetResult(FakeEntry::Enum, 0);
    LoadImage(Pattern(1048577));
    boxes.QueueAnswer(MessageAnswer::No);
    EXPECT_FALSE(Run(WorkerCode::Program));
    EXPECT_EQ(Seen(), Lines{"box:提示|question|文件长度大于芯片存储量!      \r\n       继续烧录？"});
}

TEST_F(ProgramChipTest, FirstBlockFailureAsksToEraseFirst) {
    LoadImage(Pattern(20000));
    driver.FailCall(FakeEntry::Program, 1);
    EXPECT_FALSE(Run(WorkerCode::Program));
    EXPECT_EQ(Seen(), (Lines{"show-progress", "progress:0|已烧录0%", "hide-progress",
                             "status:烧录失败，请先擦除芯片...|alert|beep"}));
    EXPECT_EQ(driver.CallTexts(), CallsThenProgram({"QuovixProgram(7,8192,0)"}));
}

TEST_F(ProgramChipTest, LaterBlockFailureBlamesConnectionAndCapacity) {
    LoadImage(Pattern(20000));
    driver.FailCall(FakeEntry::Program, 2);
    EXPECT_FALSE(Run(WorkerCode::Program));
    EXPECT_EQ(Seen(), (Lines{"show-progress", "progress:0|已烧录0%", "progress:40|已烧录40%", "hide-progress",
                             "status:烧录失败，请检查设备连接和芯片容量...|alert|beep"}));
    EXPECT_EQ(driver.CallTexts(),
              CallsThenProgram({"QuovixProgram(7,8192,0)", "QuovixProgram(7,8192,8192)"}));
}

TEST_F(ProgramChipTest, ShortWriteIsResentFromWhereTheDriverStopped) {
    const auto file = Pattern(20000);
    LoadImage(file);
    driver.ReportOnCall(FakeEntry::Program, 1, 4096);
    EXPECT_TRUE(Run(WorkerCode::Program));
    EXPECT_EQ(
        driver.CallTexts(FakeEntry::Program),
        (Lines{"QuovixProgram(7,8192,0)", "QuovixProgram(7,8192,4096)", "QuovixProgram(7,7712,12288)"}));
    const auto calls = driver.Calls();
    std::vector<std::vector<uint8_t>> data;
    for (const auto& c : calls)
        if (c.entry == FakeEntry::Program) data.push_back(c.data);
    ASSERT_EQ(data.size(), 3u);
    EXPECT_EQ(data[1], std::vector<uint8_t>(file.begin() + 4096, file.begin() + 12288));
    EXPECT_EQ(data[2], std::vector<uint8_t>(file.begin() + 12288, file.end()));
    EXPECT_EQ(status.positions(), (std::vector<int>{0, 20, 61, 100}));
    const auto chip = driver.Chip();
    EXPECT_TRUE(std::equal(file.begin(), file.end(), chip.begin()));
}

TEST_F(ProgramChipTest, EveryTransferCutShortStillWritesTheWholeImage) {
    const auto file = Pattern(30000);
    LoadImage(file);
    driver.LimitTransfers(FakeEntry::Program, 3000);
    EXPECT_TRUE(Run(WorkerCode::Program));
    EXPECT_EQ(driver.CallCount(FakeEntry::Program), 10);
    const auto chip = driver.Chip();
    EXPECT_TRUE(std::equal(file.begin(), file.end(), chip.begin()));
}

TEST_F(ProgramChipTest, EmptyImageSucceedsWithoutWriting) {
    LoadImage({});
    EXPECT_TRUE(Run(WorkerCode::Program));
    EXPECT_EQ(Seen(), (Lines{"show-progress", "progress:0|已烧录0%", "hide-progress", "status:烧录成功...",
                             "wave:sound/finishsound.wav"}));
    EXPECT_EQ(driver.CallTexts(), CallsThenProgram({}));
}

TEST_F(ProgramChipTest, NoFileRefusesWithoutBeepAndWithoutDriver) {
    EXPECT_FALSE(Run(WorkerCode::Program));
    EXPECT_EQ(Seen(), (Lines{"status:文件尚未打开...|alert", "box:提示|exclamation|文件尚未打开！     "}));
    EXPECT_TRUE(driver.CallTexts().empty());
}

class ProgramReportTest : public ProgramChipTest, public ::testing::WithParamInterface<ImpossibleReport> {};

// Reports of nothing, or of more than was sent, end the run at that call.
TEST_P(ProgramReportTest, ImpossibleReportIsAFailedCall) {
    const ImpossibleReport& c = GetParam();
    LoadImage(Pattern(20000));
    driver.ReportOnCall(FakeEntry::Program, c.call, c.report);
    EXPECT_FALSE(Run(WorkerCode::Program));
    EXPECT_EQ(driver.CallCount(FakeEntry::Program), c.call);
    // The first block failing means a chip not erased; a later one, a lost connection.
    EXPECT_EQ(Seen().back(), c.call == 1 ? "status:烧录失败，请先擦除芯片...|alert|beep"
                                         : "status:烧录失败，请检查设备连接和芯片容量...|alert|beep");
}

INSTANTIATE_TEST_SUITE_P(Reports, ProgramReportTest, ::testing::ValuesIn(kImpossibleReports),
                         ImpossibleReportName);

// Over by one counts against what was sent, also for a short last block.
TEST_F(ProgramChipTest, ReportOverTheShortLastBlockIsAFailedCall) {
    LoadImage(Pattern(20000));
    driver.ReportOnCall(FakeEntry::Program, 3, 3617);
    EXPECT_FALSE(Run(WorkerCode::Program));
    EXPECT_EQ(Seen().back(), "status:烧录失败，请检查设备连接和芯片容量...|alert|beep");
}

// Reads of the work copy fail from this offset on.
std::atomic<uint64_t> g_failReadsFrom{UINT64_MAX};
int FailWorkCopyReads(const File& file, uint64_t offset, size_t, bool write) {
    if (write || file.Path().find("h_alor1.dll") == std::string::npos) return 0;
    return offset >= g_failReadsFrom ? 5 /* EIO */ : 0;
}

TEST_F(ProgramChipTest, WorkCopyReadErrorStopsWithoutSendingGarbage) {
    for (uint64_t from : {uint64_t{0}, uint64_t{8192}}) {
        SCOPED_TRACE(from);
        driver.ClearCalls();
        LoadImage(Pattern(20000));
        g_failReadsFrom = from;
        File::SetFaultHook(FailWorkCopyReads);
        EXPECT_FALSE(Run(WorkerCode::Program));
        File::SetFaultHook(nullptr);
        EXPECT_EQ(driver.CallCount(FakeEntry::Program), static_cast<int>(from / 8192));
        EXPECT_EQ(status.lastText(), "烧录失败，请检查设备连接和芯片容量...");
        EXPECT_EQ(Seen().back(), "status:烧录失败，请检查设备连接和芯片容量...|alert|beep");
        EXPECT_EQ(driver.CallTexts().back(), "QuovixClose(7)");
    }
}

TEST_F(ProgramChipTest, SecondRequestWhileProgrammingIsDroppedAndTheRunStaysStandalone) {
    LoadImage(Pattern(20000));
    std::mutex m;
    std::condition_variable cv;
    bool inside = false;
    bool release = false;
    onCall = [&](const FakeCall& call) {
        if (call.entry != FakeEntry::Program || call.args[2] != 0) return;
        std::unique_lock lock(m);
        inside = true;
        cv.notify_all();
        cv.wait(lock, [&] { return release; });
    };
    ASSERT_TRUE(worker->Request(WorkerCode::Program));
    {
        std::unique_lock lock(m);
        cv.wait(lock, [&] { return inside; });
    }
    // The window thread sees the flag and the worker refuses a new command.
    EXPECT_TRUE(state.ProgramBusy);
    EXPECT_TRUE(state.WorkCopyInUse());
    EXPECT_FALSE(worker->Request(WorkerCode::Verify));
    EXPECT_EQ(state.WorkerCommand, WorkerCode::Program);
    {
        std::lock_guard lock(m);
        release = true;
    }
    cv.notify_all();
    ASSERT_TRUE(worker->WaitUntilIdle(std::chrono::seconds(60)));
    EXPECT_FALSE(state.ProgramBusy);
    EXPECT_EQ(driver.CallCount(FakeEntry::Read), 0);
    EXPECT_EQ(driver.CallTexts().back(), "QuovixClose(7)");
    EXPECT_EQ(Seen().back(), "wave:sound/finishsound.wav");
}

}  // namespace
