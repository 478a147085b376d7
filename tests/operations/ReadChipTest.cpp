#include "OperationFixture.h"

#include "ImpossibleReport.h"

#include <filesystem>

#include "platform/File.h"

namespace {

class ReadChipTest : public OperationFixture {
protected:
    // An earlier read is on screen: the chip work file is the loaded image's source.
    void ShowEarlierRead(const std::vector<uint8_t>& bytes) {
        dir.Write("h_alor0.dll", bytes);
        LoadImage(bytes);
        image.SetSourcePath(chipPath);
        ASSERT_TRUE(image.sourceFile().Open(chipPath, File::Mode::ReadOnly));
    }
    static Lines Captions(int blocks) {
        Lines out = {"show-progress", "progress:0|已读取0%"};
        for (int k = 1; k <= blocks; ++k) {
            const uint32_t p = static_cast<uint32_t>(k) * 8192u * 100u / 131072u;
            out.push_back("progress:" + std::to_string(p) + "|已读取" + std::to_string(p) + "%");
        }
        return out;
    }
};

TEST_F(ReadChipTest, WholeChipInSixteenBlocksThenShownAsChipData) {
    const auto chip = Pattern(kChip, 9);
    driver.SetChip(chip);
    Run(WorkerCode::ReadChip);

    Lines calls = CheckCalls();
    for (int k = 0; k < 16; ++k) calls.push_back("QuovixRead(7,8192," + std::to_string(k * 8192) + ")");
    calls.push_back("QuovixClose(7)");
    EXPECT_EQ(driver.CallTexts(), calls);

    Lines expected = {"view:force-view-mode"};
    const Lines captions = Captions(16);
    expected.insert(expected.end(), captions.begin(), captions.end());
    expected.insert(expected.end(), {"hide-progress", "status:芯片读取成功...", "wave:sound/finishsound.wav",
                                     "view:load-chip-image"});
    EXPECT_EQ(Seen(), expected);
    EXPECT_EQ(dir.Read("h_alor0.dll"), chip);
    EXPECT_EQ(view.loadedSize(), static_cast<int64_t>(kChip));
    EXPECT_EQ(BusyAt(FakeEntry::Read), Lines(16, "R"));
    EXPECT_EQ(BusyAt(FakeEntry::Close), Lines{""});
}

TEST_F(ReadChipTest, ShortDeliveriesAreAppendedWhereTheyBelong) {
    const auto chip = Pattern(kChip, 3);
    driver.SetChip(chip);
    driver.LimitTransfers(FakeEntry::Read, 4096);
    Run(WorkerCode::ReadChip);
    const auto reads = driver.CallTexts(FakeEntry::Read);
    ASSERT_EQ(reads.size(), 32u);
    EXPECT_EQ(reads[0], "QuovixRead(7,8192,0)");
    EXPECT_EQ(reads[1], "QuovixRead(7,8192,4096)");
    EXPECT_EQ(reads[30], "QuovixRead(7,8192,122880)");
    EXPECT_EQ(reads[31], "QuovixRead(7,4096,126976)");
    EXPECT_EQ(dir.Read("h_alor0.dll"), chip);
}

TEST_F(ReadChipTest, FailureInTheThirdBlockKeepsTwoBlocksAndTheImage) {
    const auto chip = Pattern(kChip, 4);
    driver.SetChip(chip);
    const auto file = Pattern(500, 8);
    LoadImage(file);
    driver.FailCall(FakeEntry::Read, 3);
    Run(WorkerCode::ReadChip);
    EXPECT_EQ(dir.Read("h_alor0.dll"), std::vector<uint8_t>(chip.begin(), chip.begin() + 16384));
    Lines expected = {"view:force-view-mode"};
    const Lines captions = Captions(2);
    expected.insert(expected.end(), captions.begin(), captions.end());
    expected.insert(expected.end(),
                    {"hide-progress", "status:读取失败，请检查设备连接和芯片容量...|alert|beep"});
    EXPECT_EQ(Seen(), expected);
    EXPECT_EQ(driver.CallTexts().back(), "QuovixClose(7)");
    // The image on screen is untouched.
    EXPECT_TRUE(image.loaded());
    EXPECT_EQ(image.sourcePath(), dir.file("image.bin"));
    std::vector<uint8_t> back(500);
    EXPECT_EQ(image.ReadWork(0, back.data(), back.size()), 500);
    EXPECT_EQ(back, file);
}

TEST_F(ReadChipTest, EarlierReadOnScreenLetsGoOfTheFileBeforeItIsEmptied) {
    ShowEarlierRead(Pattern(kChip, 5));
    const auto chip = Pattern(kChip, 6);
    driver.SetChip(chip);
    bool sourceOpenAtFirstRead = true;
    int64_t sizeAtFirstRead = -1;
    onCall = [&](const FakeCall& call) {
        if (call.entry != FakeEntry::Read || call.args[2] != 0) return;
        sourceOpenAtFirstRead = image.IsSourceOpen();
        sizeAtFirstRead = static_cast<int64_t>(std::filesystem::file_size(chipPath));
    };
    Run(WorkerCode::ReadChip);
    EXPECT_FALSE(sourceOpenAtFirstRead);
    EXPECT_EQ(sizeAtFirstRead, 0);
    EXPECT_EQ(log.With("view:"), (Lines{"view:force-view-mode", "view:load-chip-image"}));
    EXPECT_EQ(dir.Read("h_alor0.dll"), chip);
    EXPECT_TRUE(image.IsSourceOpen());
}

TEST_F(ReadChipTest, FailedReadOverAnEarlierReadIsResolvedBeforeTheNews) {
    ShowEarlierRead(Pattern(kChip, 5));
    driver.FailCall(FakeEntry::Read, 2);
    Run(WorkerCode::ReadChip);
    const Lines seen = Seen();
    EXPECT_EQ(Lines(seen.end() - 3, seen.end()),
              (Lines{"hide-progress", "view:resolve-truncated",
                     "status:读取失败，请检查设备连接和芯片容量...|alert|beep"}));
    EXPECT_EQ(log.With("view:load-chip-image"), Lines{});
    EXPECT_TRUE(image.IsSourceOpen());
    EXPECT_EQ(std::filesystem::file_size(chipPath), 8192u);
}

TEST_F(ReadChipTest, ChipWorkFileThatCannotBeCreatedIsAReadFailure) {
    const auto file = Pattern(300);
    LoadImage(file);
    std::filesystem::create_directory(chipPath);  // a directory where the file should be
    Run(WorkerCode::ReadChip);
    EXPECT_EQ(Seen(), Lines{"status:读取失败，请检查设备连接和芯片容量...|alert|beep"});
    Lines calls = CheckCalls();
    calls.push_back("QuovixClose(7)");
    EXPECT_EQ(driver.CallTexts(), calls);
    EXPECT_TRUE(image.loaded());
    EXPECT_EQ(image.sourcePath(), dir.file("image.bin"));
}

// Another program's chip data, or a link planted in its place, is never emptied.
TEST_F(ReadChipTest, ChipWorkFileOfAnotherHolderOrALinkIsNeverEmptied) {
    struct Case {
        const char* name;
        bool link;
    };
    for (const Case& c : {Case{"held by another program", false}, Case{"link to a user file", true}}) {
        const auto kept = Pattern(500, 7);
        const std::string target = c.link ? dir.file("victim.bin") : chipPath;
        std::filesystem::remove(chipPath);
        dir.Write(c.link ? "victim.bin" : "h_alor0.dll", kept);
        if (c.link) std::filesystem::create_symlink(target, chipPath);
        File holder;
        ASSERT_TRUE(holder.Open(target, File::Mode::ReadOnly));
        if (!c.link) {
            ASSERT_TRUE(holder.LockExclusive());
        }
        log.Clear();
        Run(WorkerCode::ReadChip);
        EXPECT_EQ(Seen(), Lines{"status:读取失败，请检查设备连接和芯片容量...|alert|beep"}) << c.name;
        EXPECT_EQ(driver.CallTexts().back(), "QuovixClose(7)") << c.name;
        EXPECT_EQ(dir.Read(c.link ? "victim.bin" : "h_alor0.dll"), kept) << c.name;
    }
}

int FailChipFileWritesFromSecondBlock(const File& file, uint64_t offset, size_t, bool write) {
    if (!write || file.Path().find("h_alor0.dll") == std::string::npos) return 0;
    return offset >= 8192 ? 28 /* ENOSPC */ : 0;
}

TEST_F(ReadChipTest, ChipWorkFileThatCannotBeWrittenIsAReadFailure) {
    File::SetFaultHook(FailChipFileWritesFromSecondBlock);
    Run(WorkerCode::ReadChip);
    File::SetFaultHook(nullptr);
    EXPECT_EQ(driver.CallCount(FakeEntry::Read), 2);
    EXPECT_EQ(Seen().back(), "status:读取失败，请检查设备连接和芯片容量...|alert|beep");
    EXPECT_EQ(log.With("view:load-chip-image"), Lines{});
    EXPECT_EQ(std::filesystem::file_size(chipPath), 8192u);
}

TEST_F(ReadChipTest, ViewCallsGoThroughTheWindowThread) {
    Run(WorkerCode::ReadChip);
    for (const auto& e : log.With("view:")) EXPECT_EQ(e.find("outside-window"), std::string::npos) << e;
    EXPECT_EQ(log.With("view:").size(), 2u);
}

class ReadReportTest : public ReadChipTest, public ::testing::WithParamInterface<ImpossibleReport> {};

TEST_P(ReadReportTest, ImpossibleReportFailsAtThatCall) {
    const ImpossibleReport& c = GetParam();
    driver.ReportOnCall(FakeEntry::Read, c.call, c.report);
    Run(WorkerCode::ReadChip);
    EXPECT_EQ(driver.CallCount(FakeEntry::Read), c.call);
    EXPECT_EQ(Seen().back(), "status:读取失败，请检查设备连接和芯片容量...|alert|beep");
    EXPECT_EQ(std::filesystem::file_size(chipPath), static_cast<uintmax_t>((c.call - 1) * 8192));
}

INSTANTIATE_TEST_SUITE_P(Reports, ReadReportTest, ::testing::ValuesIn(kImpossibleReports),
                         ImpossibleReportName);

}  // namespace
