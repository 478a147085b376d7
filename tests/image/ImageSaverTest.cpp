#include "image/ImageSaver.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "hexview/HexView.h"
#include "image/ChangeLog.h"
#include "image/FileImage.h"
#include "image/ImageLoader.h"
#include "operations/WorkerState.h"
#include "platform/File.h"
#include "platform/FileState.h"
#include "ports/CommandIds.h"
#include "support/FileSizeLimit.h"
#include "support/RecordingPorts.h"
#include "support/RecordingScrollBar.h"
#include "support/ScriptedServices.h"
#include "support/TempDirectory.h"
#include "widgets/GridModel.h"

namespace {

using Bytes = std::vector<uint8_t>;
using Events = std::vector<std::string>;

// The log's texts written out by hand (GBK bytes), independent of the code under test.
const std::string kBegin = "\r\n" + std::string(39, '-') + "BEGIN" + std::string(39, '-') + "\r\n";
const std::string kStamp = "    2026-12-07 10:05:09";
const std::string kFileModified = " \xCE\xC4\xBC\xFE\xD0\xDE\xB8\xC4\xC8\xE7\xCF\xC2\xA3\xBA\r\n";
const std::string kChipSaved =
    " \xD0\xBE\xC6\xAC\xC4\xDA\xCA\xFD\xBE\xDD\xB1\xA3\xB4\xE6\xC8\xE7\xCF\xC2\xA3\xBA\r\n";
const std::string kChipSavedAs =
    "        \x5B\xC6\xAC\xC4\xDA\xCA\xFD\xBE\xDD\x5D\xB1\xA3\xB4\xE6\xCE\xAA\x5B";
const std::string kEnd = std::string(40, '-') + "END" + std::string(40, '-');

const std::string kSaved = "status:文件已保存...";
const std::string kSaveFailed = "status:文件保存失败...|alert|beep";
const std::string kCannotWrite = "box:警告|exclamation|无法写入文件！";
const std::string kLogCannotWrite = "box:警告|exclamation|修改记录文件 修改记录.txt 无法写入，文件未保存！";
const std::string kChangedOutside =
    "box:警告|exclamation|文件已被其他程序修改，保存将覆盖其修改，文件未保存！\n是否另存为其他文件？";
const std::string kSystemFile = "box:警告|exclamation|禁止修改系统文件！   ";
const std::string kSaveDialog = "save-dialog:bin文件(*.bin);rom文件(*.rom);其他文件(*.*);|bin";

std::string FileHead(const std::string& name) {
    return kBegin + kStamp + " " + name + kFileModified;
}

std::string Line(uint32_t address, int old, uint8_t now) {
    char text[64];
    char oldText[16];
    if (old < 0)
        std::snprintf(oldText, sizeof oldText, "null");
    else
        std::snprintf(oldText, sizeof oldText, "%02X", static_cast<unsigned>(old));
    std::snprintf(text, sizeof text, "        [%08X]: %s --> %02X\r\n", address, oldText,
                  static_cast<unsigned>(now));
    return text;
}

// The byte-by-byte comparison as a plain loop: the oracle for the saver's runs.
std::string ReferenceLines(const Bytes& source, const Bytes& work) {
    std::string lines;
    for (size_t i = 0; i < work.size(); ++i) {
        if (i >= source.size())
            lines += Line(static_cast<uint32_t>(i), -1, work[i]);
        else if (source[i] != work[i])
            lines += Line(static_cast<uint32_t>(i), source[i], work[i]);
    }
    return lines;
}

std::string Text(const Bytes& bytes) {
    return std::string(bytes.begin(), bytes.end());
}

class ImageSaverTest : public ::testing::Test {
protected:
    ImageSaverTest()
        : view(image, grid, scrollBar, commands, state),
          controls(commands, texts),
          loader(image, view, status, boxes, dir.file("h_alor1.dll"), dir.file("h_alor0.dll")),
          changeLog(dir.file("修改记录.txt")),
          saver(image, loader, view, changeLog,
                SavePorts{status, boxes, commands, texts, fileDialog, shell}) {
        loader.SetControls(&controls);
        view.SetUpHexGrid();
        view.ResetScrollBar();
        grid.SetRepaintListener([this] { log.Add("repaint"); });
        saver.SetClock([] {
            std::tm t{};
            t.tm_year = 2026 - 1900;
            t.tm_mon = 11;
            t.tm_mday = 7;
            t.tm_hour = 10;
            t.tm_min = 5;
            t.tm_sec = 9;
            return t;
        });
        saver.SetWorkCopyFree([this] { return workCopyFree; });
        changeLog.CreateIfMissing();
        // An earlier run's block stays in front of everything this test adds.
        dir.Write("修改记录.txt", {'o', 'l', 'd'});
        log.Clear();
    }

    // Loads `source` as the user's file, then makes the work copy `work` as edits would.
    std::string LoadEdited(const std::string& name, const Bytes& source, const Bytes& work) {
        const std::string path = dir.Write(name, source);
        loader.LoadImageFile(path, true);
        EXPECT_TRUE(image.loaded());
        SetWork(work);
        return path;
    }

    void SetWork(const Bytes& work) {
        image.workCopy().Truncate(0);
        image.WriteWork(0, work.data(), work.size());
        image.SetLength(static_cast<uint32_t>(work.size()));
        // A committed edit enables Save, whatever the page shows.
        commands.SetEnabled(CommandId::Save, true);
        view.RefreshPage();
        log.Clear();
    }

    void LoadChipData(const Bytes& chip) {
        dir.Write("h_alor0.dll", chip);
        loader.LoadImageFile(dir.file("h_alor0.dll"), false);
        ASSERT_TRUE(image.loaded());
        log.Clear();
    }

    std::string LogText() const { return Text(ReadBytes(dir.file("修改记录.txt"))); }

    bool HasEvent(const std::string& event) const {
        const Events events = log.Events();
        return std::find(events.begin(), events.end(), event) != events.end();
    }
    size_t IndexOf(const std::string& event) const {
        const Events events = log.Events();
        return static_cast<size_t>(std::find(events.begin(), events.end(), event) - events.begin());
    }

    TempDirectory dir;
    EventLog log;
    FileImage image;
    GridModel grid;
    WorkerState state;
    RecordingStatusLine status{log};
    ScriptedMessageBoxes boxes{log};
    RecordingCommandStates commands{log};
    RecordingControlTexts texts{log};
    RecordingScrollBar scrollBar{log};
    ScriptedFileDialog fileDialog{log};
    RecordingShell shell{log};
    HexView view;
    LoadedImageControls controls;
    ImageLoader loader;
    ChangeLog changeLog;
    ImageSaver saver;
    bool workCopyFree = true;
};

Bytes WithByte(Bytes bytes, size_t offset, uint8_t value) {
    bytes[offset] = value;
    return bytes;
}

Bytes Prefix(const Bytes& bytes, size_t count) {
    return Bytes(bytes.begin(), bytes.begin() + count);
}

Bytes Concat(Bytes a, const Bytes& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

// Ordinary saves: the source becomes the work copy (extra source bytes kept), the log
// gains one block listing every changed byte, Save is disabled and nothing shows red.
TEST_F(ImageSaverTest, SaveWritesAndLogsExactlyTheChangedBytes) {
    const Bytes base64 = WithByte(PatternBytes(64), 0x1A, 0xFF);
    const Bytes base4096 = PatternBytes(4096);
    Bytes wide = PatternBytes(600000, 3);
    Bytes wideEdited = wide;
    // Changes at and across the edges of the comparison's 256 KiB pieces.
    for (size_t at :
         {size_t{0}, size_t{262143}, size_t{262144}, size_t{524287}, size_t{524288}, size_t{599999}})
        wideEdited[at] ^= 0x5A;
    for (size_t at = 262100; at < 262200; ++at) wideEdited[at] = static_cast<uint8_t>(~wideEdited[at]);
    struct Row {
        std::string name;
        Bytes source;
        Bytes work;
        size_t lines;
        std::string first;  // first and last change line ("" when none)
        std::string last;
        Bytes after;  // the source file afterwards
    };
    const Row rows[] = {
        {"one byte in 64", base64, WithByte(base64, 0x1A, 0x00), 1, "        [0000001A]: FF --> 00\r\n",
         "        [0000001A]: FF --> 00\r\n", WithByte(base64, 0x1A, 0x00)},
        {"5000 against 4096", base4096, Concat(base4096, PatternBytes(904, 9)), 904,
         Line(0x1000, -1, PatternBytes(904, 9)[0]), Line(0x1387, -1, PatternBytes(904, 9)[903]),
         Concat(base4096, PatternBytes(904, 9))},
        {"no difference", base4096, base4096, 0, "", "", base4096},
        {"empty source",
         {},
         PatternBytes(10, 1),
         10,
         Line(0, -1, PatternBytes(10, 1)[0]),
         Line(9, -1, PatternBytes(10, 1)[9]),
         PatternBytes(10, 1)},
        {"source longer than the work copy", PatternBytes(100),
         WithByte(Prefix(PatternBytes(100), 50), 7, 0xEE), 1, Line(7, PatternBytes(100)[7], 0xEE),
         Line(7, PatternBytes(100)[7], 0xEE), WithByte(PatternBytes(100), 7, 0xEE)},
        {"runs across the comparison pieces", wide, wideEdited, 104, Line(0, wide[0], wideEdited[0]),
         Line(599999, wide[599999], wideEdited[599999]), wideEdited},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        dir.Write("修改记录.txt", {'o', 'l', 'd'});
        const std::string path = LoadEdited("fw.bin", row.source, row.work);
        saver.SaveImage();

        EXPECT_EQ(ReadBytes(path), row.after);
        const std::string lines = ReferenceLines(row.source, row.work);
        EXPECT_EQ(LogText(), "old" + FileHead("fw.bin") + lines + kEnd);
        size_t count = 0;
        for (size_t at = lines.find("\r\n"); at != std::string::npos; at = lines.find("\r\n", at + 2))
            ++count;
        EXPECT_EQ(count, row.lines);
        if (row.lines > 0) {
            EXPECT_EQ(lines.substr(0, row.first.size()), row.first);
            EXPECT_EQ(lines.substr(lines.size() - row.last.size()), row.last);
        }
        EXPECT_EQ(log.With("status:"), Events{kSaved});
        EXPECT_FALSE(commands.IsEnabled(CommandId::Save));
        EXPECT_LT(IndexOf("enable:1075|0"), IndexOf(kSaved));
        EXPECT_LT(IndexOf(kSaved), IndexOf("repaint"));
        for (int r = 1; r <= HexView::kPageRows; ++r)
            for (int c = 1; c <= HexView::kRowBytes; ++c) EXPECT_NE(view.MarkOf(r, c), HexView::Modified);
        EXPECT_TRUE(log.With("box:").empty());
    }
}

TEST_F(ImageSaverTest, PendingCellEditIsCommittedBeforeTheComparison) {
    const Bytes source = PatternBytes(64);
    const std::string path = LoadEdited("fw.bin", source, source);
    saver.SetCommitCellEdit([this] {
        log.Add("commit");
        const uint8_t typed = 0x5A;
        image.WriteWork(3, &typed, 1);
    });
    saver.SaveImage();
    EXPECT_EQ(ReadBytes(path), WithByte(source, 3, 0x5A));
    EXPECT_EQ(LogText(), "old" + FileHead("fw.bin") + Line(3, source[3], 0x5A) + kEnd);
    EXPECT_LT(IndexOf("commit"), IndexOf(kSaved));
}

TEST_F(ImageSaverTest, TwoSavesInARowAppendTwoBlocks) {
    const Bytes source = PatternBytes(64);
    const std::string path = LoadEdited("fw.bin", source, WithByte(source, 1, 0xAA));
    saver.SaveImage();
    SetWork(WithByte(WithByte(source, 1, 0xAA), 2, 0xBB));
    saver.SaveImage();
    EXPECT_EQ(LogText(), "old" + FileHead("fw.bin") + Line(1, source[1], 0xAA) + kEnd + FileHead("fw.bin") +
                             Line(2, source[2], 0xBB) + kEnd);
    EXPECT_EQ(ReadBytes(path), WithByte(WithByte(source, 1, 0xAA), 2, 0xBB));
}

// A log that has reached 100 MiB is emptied before the new block; one byte less is kept.
TEST_F(ImageSaverTest, LogIsEmptiedAtItsSizeLimit) {
    struct Row {
        uint64_t size;
        bool emptied;
    };
    const Row rows[] = {{104857600, true}, {104857601, true}, {104857599, false}};
    const Bytes source = PatternBytes(64);
    for (const Row& row : rows) {
        SCOPED_TRACE(row.size);
        {
            File big;
            ASSERT_TRUE(big.Open(dir.file("修改记录.txt"), File::Mode::CreateReadWrite));
            ASSERT_TRUE(big.Truncate(row.size));  // sparse: no 100 MiB written
        }
        LoadEdited("fw.bin", source, WithByte(source, 5, 0x00));
        saver.SaveImage();
        const std::string block =
            FileHead("fw.bin") + ReferenceLines(source, WithByte(source, 5, 0x00)) + kEnd;
        File logFile;
        ASSERT_TRUE(logFile.Open(dir.file("修改记录.txt"), File::Mode::ReadOnly));
        const uint64_t expected = (row.emptied ? 0 : row.size) + block.size();
        ASSERT_EQ(logFile.Size(), static_cast<int64_t>(expected));
        std::string tail(block.size(), '\0');
        ASSERT_EQ(logFile.ReadAt(expected - block.size(), tail.data(), tail.size()),
                  static_cast<int64_t>(block.size()));
        EXPECT_EQ(tail, block);
        EXPECT_EQ(log.With("status:"), Events{kSaved});
    }
}

TEST_F(ImageSaverTest, ChipDataIsSavedToTheChosenFileWhichBecomesTheImage) {
    const Bytes chip = PatternBytes(8192, 4);
    LoadChipData(chip);
    fileDialog.Queue(dir.file("a.bin"));
    saver.SaveImage();

    EXPECT_EQ(ReadBytes(dir.file("a.bin")), chip);
    EXPECT_EQ(LogText(), "old" + kBegin + kStamp + kChipSaved + kChipSavedAs + "a.bin]\r\n" + kEnd);
    EXPECT_EQ(image.sourcePath(), dir.file("a.bin"));
    EXPECT_EQ(image.nameText(), "a.bin");
    EXPECT_TRUE(image.IsSourceOpen());
    EXPECT_FALSE(commands.IsEnabled(CommandId::Save));
    // The dialog, the path box, the loader's own steps, then the saved status last.
    EXPECT_EQ(log.Events().front(), kSaveDialog);
    EXPECT_LT(IndexOf("text:1003|芯片数据已保存"), IndexOf("status:文件打开成功"));
    EXPECT_LT(IndexOf("status:文件打开成功"), IndexOf(kSaved));
    EXPECT_EQ(log.With("status:").back(), kSaved);
    EXPECT_EQ(texts.Text(CommandId::NameLabel), "a.bin");
    // The chip work file itself is left as the read made it.
    EXPECT_EQ(ReadBytes(dir.file("h_alor0.dll")), chip);
}

TEST_F(ImageSaverTest, CancelledDialogChangesNothing) {
    LoadChipData(PatternBytes(100));
    saver.SaveImage();
    saver.SaveImageAs();
    EXPECT_EQ(log.Events(), (Events{kSaveDialog, kSaveDialog}));
    EXPECT_EQ(LogText(), "old");
    EXPECT_EQ(image.sourcePath(), dir.file("h_alor0.dll"));
}

// The two work files, under any spelling, are refused as targets; a later Save still works.
TEST_F(ImageSaverTest, WorkFilesAreRefusedAsTargets) {
    struct Row {
        std::string name;
        bool chipData;  // Save of chip data, else save-as of a user file
        std::string target;
    };
    const Row rows[] = {
        {"work copy, save as", false, "h_alor1.dll"},
        {"chip work file, save as", false, "h_alor0.dll"},
        {"link to the work copy, save as", false, "link.bin"},
        {"work copy, chip data", true, "h_alor1.dll"},
        {"chip work file, chip data", true, "h_alor0.dll"},
        {"product data, save as", false, "XJQT.uc"},
        {"log, save as", false, "修改记录.txt"},
        {"sound setting, save as", false, "halor2.dll"},
        {"wave file, save as", false, "sound/ding.wav"},
        {"lock file, save as", false, ".XJQT_Tarlo Flash编程器.exe.lock"},
        {"product data, chip data", true, "XJQT.uc"},
        {"log through a link, chip data", true, "log-link.txt"},
        {"new wave file, chip data", true, "sound/new.wav"},
    };
    std::filesystem::create_directory(dir.file("sound"));
    dir.Write("XJQT.uc", {0x55, 0xAA});
    dir.Write("halor2.dll", {1});
    dir.Write("sound/ding.wav", {2});
    std::filesystem::create_symlink(dir.file("修改记录.txt"), dir.file("log-link.txt"));
    std::filesystem::create_symlink(dir.file("h_alor1.dll"), dir.file("link.bin"));
    const Bytes source = PatternBytes(64);
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        if (row.chipData)
            LoadChipData(source);
        else
            LoadEdited("fw.bin", source, WithByte(source, 9, 0x99));
        const std::string sourcePath = image.sourcePath();
        const Bytes work = ReadBytes(dir.file("h_alor1.dll"));
        const bool targetExisted = std::filesystem::exists(dir.file(row.target));
        const Bytes target = ReadBytes(dir.file(row.target));
        fileDialog.Queue(dir.file(row.target));
        if (row.chipData)
            saver.SaveImage();
        else
            saver.SaveImageAs();
        EXPECT_EQ(log.Events(), (Events{kSaveDialog, kSystemFile}));
        EXPECT_EQ(image.sourcePath(), sourcePath);
        EXPECT_EQ(ReadBytes(dir.file("h_alor1.dll")), work);
        EXPECT_EQ(LogText(), "old");
        EXPECT_EQ(std::filesystem::exists(dir.file(row.target)), targetExisted);
        EXPECT_EQ(ReadBytes(dir.file(row.target)), target);
        if (!row.chipData) {
            saver.SaveImage();
            EXPECT_EQ(ReadBytes(sourcePath), WithByte(source, 9, 0x99));
            EXPECT_EQ(LogText(), "old" + FileHead("fw.bin") + Line(9, source[9], 0x99) + kEnd);
            dir.Write("修改记录.txt", {'o', 'l', 'd'});
        }
    }
}

TEST_F(ImageSaverTest, SaveAsToTheLoadedFileIsASave) {
    const Bytes source = PatternBytes(64);
    const std::string path = LoadEdited("fw.bin", source, WithByte(source, 0x20, 0x01));
    fileDialog.Queue(path);
    saver.SaveImageAs();
    EXPECT_EQ(ReadBytes(path), WithByte(source, 0x20, 0x01));
    EXPECT_EQ(LogText(), "old" + FileHead("fw.bin") + Line(0x20, source[0x20], 0x01) + kEnd);
    EXPECT_FALSE(commands.IsEnabled(CommandId::Save));
    EXPECT_EQ(log.With("status:"), Events{kSaved});
}

TEST_F(ImageSaverTest, SaveAsToANewNameCopiesTheImageAndLeavesTheLoadedFile) {
    const Bytes source = PatternBytes(70000);
    const Bytes work = Concat(WithByte(source, 65536, 0x00), PatternBytes(10, 2));
    const std::string path = LoadEdited("fw.bin", source, work);
    ASSERT_TRUE(commands.IsEnabled(CommandId::Save));
    fileDialog.Queue(dir.file("copy.rom"));
    saver.SaveImageAs();
    EXPECT_EQ(ReadBytes(dir.file("copy.rom")), work);
    EXPECT_EQ(ReadBytes(path), source);
    EXPECT_EQ(LogText(), "old");
    EXPECT_EQ(image.sourcePath(), path);
    EXPECT_EQ(log.Events(), (Events{kSaveDialog, kSaved}));
    EXPECT_TRUE(commands.IsEnabled(CommandId::Save));
    EXPECT_EQ(view.MarkOf(1, 1), HexView::Unchanged);
}

TEST_F(ImageSaverTest, SaveAsOfChipDataLoadsTheCopyWithoutALogBlock) {
    const Bytes chip = PatternBytes(4096, 6);
    LoadChipData(chip);
    fileDialog.Queue(dir.file("b.bin"));
    saver.SaveImageAs();
    EXPECT_EQ(ReadBytes(dir.file("b.bin")), chip);
    EXPECT_EQ(LogText(), "old");
    EXPECT_EQ(image.sourcePath(), dir.file("b.bin"));
    EXPECT_LT(IndexOf(kSaved), IndexOf("text:1003|芯片数据已保存"));
    EXPECT_LT(IndexOf("text:1003|芯片数据已保存"), IndexOf("status:文件打开成功"));
    EXPECT_FALSE(commands.IsEnabled(CommandId::Save));
}

TEST_F(ImageSaverTest, NothingHappensWhileTheWorkCopyIsInUseOrNothingIsLoaded) {
    const Bytes source = PatternBytes(64);
    saver.SaveImageAs();  // nothing loaded
    saver.SaveImage();
    EXPECT_TRUE(log.Events().empty());

    const std::string path = LoadEdited("fw.bin", source, WithByte(source, 2, 0x22));
    workCopyFree = false;
    fileDialog.Queue(dir.file("x.bin"));
    saver.SaveImage();
    saver.SaveImageAs();
    EXPECT_TRUE(log.Events().empty());
    EXPECT_EQ(ReadBytes(path), source);
    EXPECT_EQ(LogText(), "old");
    EXPECT_FALSE(std::filesystem::exists(dir.file("x.bin")));
}

// A chip read started while the dialog was open: the chip data is not written anywhere.
TEST_F(ImageSaverTest, OperationStartedWhileTheDialogWasOpenRefusesTheSave) {
    LoadChipData(PatternBytes(100));
    fileDialog.Queue(dir.file("a.bin"));
    fileDialog.whileOpen = [this] { workCopyFree = false; };
    saver.SaveImage();
    EXPECT_FALSE(std::filesystem::exists(dir.file("a.bin")));
    EXPECT_EQ(log.Events(), Events{kSaveDialog});
    EXPECT_EQ(LogText(), "old");
    EXPECT_EQ(image.sourcePath(), dir.file("h_alor0.dll"));
}

// A source that cannot be opened for writing: reported, nothing written anywhere,
// Save stays enabled and the edit still shows.
TEST_F(ImageSaverTest, SourceThatCannotBeWrittenIsReported) {
    struct Row {
        std::string name;
        void (*spoil)(const std::string& path);
        Events events;
    };
    // A file removed or replaced by another program is a change from outside: the user
    // is asked (here: no) instead of writing.
    std::vector<Row> rows = {
        {"gone", [](const std::string& path) { std::filesystem::remove(path); }, {kChangedOutside}},
        {"a directory now",
         [](const std::string& path) {
             std::filesystem::remove(path);
             std::filesystem::create_directory(path);
         },
         {kChangedOutside}},
    };
    // Permission bits do not stop the superuser.
    if (geteuid() != 0)
        rows.push_back({"read-only",
                        [](const std::string& path) { chmod(path.c_str(), 0444); },
                        {kSaveFailed, kCannotWrite}});
    const Bytes source = PatternBytes(64);
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        std::filesystem::remove_all(dir.file("fw.bin"));
        const std::string path = LoadEdited("fw.bin", source, WithByte(source, 0, 0xA5));
        ASSERT_EQ(view.MarkOf(1, 1), HexView::Modified);
        row.spoil(path);
        boxes.QueueAnswer(MessageAnswer::No);
        saver.SaveImage();
        EXPECT_EQ(log.Events(), row.events);
        EXPECT_TRUE(commands.IsEnabled(CommandId::Save));
        EXPECT_EQ(view.MarkOf(1, 1), HexView::Modified);
        EXPECT_EQ(LogText(), "old");
        EXPECT_EQ(ReadBytes(dir.file("h_alor1.dll")), WithByte(source, 0, 0xA5));
        chmod(path.c_str(), 0644);
    }
}

// A full disk in the middle of a save: the bytes that fit landed and are logged, the
// block is closed, the failure is said aloud; once there is room Save finishes the job.
TEST_F(ImageSaverTest, FullDiskDuringSaveLogsWhatLandedAndCanBeRetried) {
    // The log's block (1000 lines) fits under the limit; the source's growth does not.
    const Bytes source = PatternBytes(65000);
    const Bytes work = Concat(source, PatternBytes(1000, 8));
    const std::string path = LoadEdited("fw.bin", source, work);
    {
        FileSizeLimit limit(65536);
        saver.SaveImage();
    }
    EXPECT_EQ(log.With("status:"), Events{kSaveFailed});
    EXPECT_EQ(log.With("box:"), Events{kCannotWrite});
    EXPECT_TRUE(commands.IsEnabled(CommandId::Save));
    const Bytes landed = Prefix(work, 65536);
    EXPECT_EQ(ReadBytes(path), landed);
    EXPECT_EQ(LogText(), "old" + FileHead("fw.bin") + ReferenceLines(source, landed) + kEnd);

    log.Clear();
    const std::string before = LogText();
    saver.SaveImage();
    EXPECT_EQ(log.With("status:"), Events{kSaved});
    EXPECT_EQ(ReadBytes(path), work);
    EXPECT_EQ(LogText(), before + FileHead("fw.bin") + ReferenceLines(landed, work) + kEnd);
}

// A log that cannot grow stops the save before the source is touched.
TEST_F(ImageSaverTest, LogThatCannotGrowStopsTheSaveFirst) {
    const Bytes source = PatternBytes(64);
    const std::string path = LoadEdited("fw.bin", source, WithByte(source, 4, 0x44));
    {
        File full;
        ASSERT_TRUE(full.Open(dir.file("修改记录.txt"), File::Mode::CreateReadWrite));
        ASSERT_TRUE(full.Truncate(65536 - 16));
    }
    {
        FileSizeLimit limit(65536);
        saver.SaveImage();
    }
    EXPECT_EQ(log.Events(), (Events{kSaveFailed, kLogCannotWrite}));
    EXPECT_EQ(ReadBytes(path), source);
    EXPECT_TRUE(commands.IsEnabled(CommandId::Save));
}

// The log has room for the head but not for every line: nothing is written anywhere,
// the log keeps its length, the user learns which file is full; with room Save works.
TEST_F(ImageSaverTest, BlockThatDoesNotFitInTheLogChangesNothing) {
    struct Row {
        std::string name;
        bool chipData;
        size_t logRoom;  // bytes the log may still grow
    };
    const Row rows[] = {
        {"2000 changes, room for the head and 100 lines", false, 96 + 100 * 31},
        {"2000 changes, one byte short of the block", false, 0},
        {"chip data, room for half the block", true, 100},
    };
    const Bytes source = PatternBytes(4000);
    Bytes edited = source;
    for (size_t i = 1000; i < 3000; ++i) edited[i] = static_cast<uint8_t>(~edited[i]);
    const std::string wholeBlock = FileHead("fw.bin") + ReferenceLines(source, edited) + kEnd;
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        if (row.chipData)
            LoadChipData(source);
        else
            LoadEdited("fw.bin", source, edited);
        const size_t room = row.logRoom != 0 ? row.logRoom : wholeBlock.size() - 1;
        const std::string logBefore(65536 - room, 'x');
        dir.Write("修改记录.txt", Bytes(logBefore.begin(), logBefore.end()));
        fileDialog.Queue(dir.file("a.bin"));
        log.Clear();
        {
            FileSizeLimit limit(65536);
            saver.SaveImage();
        }
        EXPECT_EQ(log.With("box:"), Events{kLogCannotWrite});
        EXPECT_EQ(log.With("status:"), Events{kSaveFailed});
        EXPECT_EQ(LogText(), logBefore);
        EXPECT_TRUE(commands.IsEnabled(CommandId::Save));
        if (row.chipData) {
            EXPECT_FALSE(std::filesystem::exists(dir.file("a.bin")));
            continue;
        }
        EXPECT_EQ(ReadBytes(dir.file("fw.bin")), source);
        dir.Write("修改记录.txt", {'o', 'l', 'd'});
        saver.SaveImage();
        EXPECT_EQ(ReadBytes(dir.file("fw.bin")), edited);
        EXPECT_EQ(LogText(), "old" + wholeBlock);
    }
}

// Another program changed the source after it was loaded: Save writes nothing, logs
// nothing and asks; 否 leaves everything, 是 saves the image under another name.
TEST_F(ImageSaverTest, SourceChangedOutsideIsNeverWrittenOver) {
    struct Row {
        std::string name;
        void (*change)(const TempDirectory& dir, const std::string& path);
    };
    const Row rows[] = {
        {"same length, one byte rewritten, one second later",
         [](const TempDirectory&, const std::string& path) {
             File f;
             ASSERT_TRUE(f.Open(path, File::Mode::ReadWrite));
             const uint8_t value = 0x1A;
             ASSERT_TRUE(f.WriteAt(0x1A, &value, 1));
             const std::optional<FileState> was = FileStateOf(path);
             const timespec times[2] = {{0, UTIME_OMIT},
                                        {was->modifiedSeconds + 1, was->modifiedNanoseconds}};
             ASSERT_EQ(futimens(f.Descriptor(), times), 0);
         }},
        {"only the nanoseconds of the time differ",
         [](const TempDirectory&, const std::string& path) {
             const std::optional<FileState> was = FileStateOf(path);
             const timespec times[2] = {{0, UTIME_OMIT},
                                        {was->modifiedSeconds, (was->modifiedNanoseconds + 1) % 1000000000}};
             ASSERT_EQ(utimensat(AT_FDCWD, path.c_str(), times, 0), 0);
         }},
        {"grown by one byte",
         [](const TempDirectory&, const std::string& path) {
             File f;
             ASSERT_TRUE(f.Open(path, File::Mode::ReadWrite));
             const uint8_t value = 0x77;
             ASSERT_TRUE(f.WriteAt(64, &value, 1));
         }},
        {"replaced by a new file of the same bytes and time",
         [](const TempDirectory& dir, const std::string& path) {
             const std::optional<FileState> was = FileStateOf(path);
             const std::string other = dir.Write("other-program.tmp", ReadBytes(path));
             const timespec times[2] = {{0, UTIME_OMIT}, {was->modifiedSeconds, was->modifiedNanoseconds}};
             ASSERT_EQ(utimensat(AT_FDCWD, other.c_str(), times, 0), 0);
             std::filesystem::rename(other, path);
         }},
    };
    const Bytes source = PatternBytes(64);
    const Bytes work = WithByte(source, 5, 0x55);
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        std::filesystem::remove(dir.file("copy.bin"));
        const std::string path = LoadEdited("fw.bin", source, work);
        row.change(dir, path);
        const Bytes theirs = ReadBytes(path);

        boxes.QueueAnswer(MessageAnswer::No);
        saver.SaveImage();
        EXPECT_EQ(log.Events(), Events{kChangedOutside});
        EXPECT_EQ(ReadBytes(path), theirs);
        EXPECT_EQ(LogText(), "old");
        EXPECT_TRUE(commands.IsEnabled(CommandId::Save));

        log.Clear();
        boxes.QueueAnswer(MessageAnswer::Yes);
        fileDialog.Queue(dir.file("copy.bin"));
        saver.SaveImage();
        EXPECT_EQ(log.Events(), (Events{kChangedOutside, kSaveDialog, kSaved}));
        EXPECT_EQ(ReadBytes(dir.file("copy.bin")), work);
        EXPECT_EQ(ReadBytes(path), theirs);
        EXPECT_EQ(LogText(), "old");
    }
}

// Two windows on one file: the second one's Save finds the first one's write.
TEST_F(ImageSaverTest, SecondWindowDoesNotRevertTheFirstWindowsSave) {
    const Bytes source = PatternBytes(64);
    const std::string path = LoadEdited("fw.bin", source, WithByte(source, 5, 0x55));
    FileImage otherImage;
    File otherSource;
    ASSERT_TRUE(otherSource.Open(path, File::Mode::ReadOnly));
    otherImage.SetSourceState(FileStateOf(otherSource));
    // This window saves; the state it keeps is that of its own write.
    saver.SaveImage();
    ASSERT_EQ(ReadBytes(path), WithByte(source, 5, 0x55));
    EXPECT_EQ(image.sourceState(), FileStateOf(path));
    EXPECT_NE(otherImage.sourceState(), FileStateOf(path));
    // A second save of this window is no change from outside.
    SetWork(WithByte(WithByte(source, 5, 0x55), 6, 0x66));
    saver.SaveImage();
    EXPECT_EQ(log.With("box:"), Events{});
    EXPECT_EQ(ReadBytes(path), WithByte(WithByte(source, 5, 0x55), 6, 0x66));
}

// A whole-file write that fails leaves an existing target as it was and no temporary file.
TEST_F(ImageSaverTest, FailedCopyLeavesTheExistingTargetAsItWas) {
    struct Row {
        std::string name;
        bool chipData;
    };
    const Row rows[] = {{"save as", false}, {"chip data", true}};
    const Bytes image70k = PatternBytes(70000, 5);
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        const std::string target = dir.Write("old.bin", {1, 2, 3});
        if (row.chipData)
            LoadChipData(image70k);
        else
            LoadEdited("fw.bin", image70k, image70k);
        const std::string sourcePath = image.sourcePath();
        fileDialog.Queue(target);
        {
            FileSizeLimit limit(65536);
            if (row.chipData)
                saver.SaveImage();
            else
                saver.SaveImageAs();
        }
        EXPECT_EQ(log.With("status:"), Events{kSaveFailed});
        EXPECT_EQ(log.With("box:"), Events{kCannotWrite});
        EXPECT_EQ(ReadBytes(target), (Bytes{1, 2, 3}));
        EXPECT_EQ(image.sourcePath(), sourcePath);
        EXPECT_EQ(LogText(), "old");
        for (const auto& entry : std::filesystem::directory_iterator(dir.path()))
            EXPECT_NE(entry.path().filename().string().rfind(".old.bin", 0), 0u) << entry.path();
    }
}

// A FIFO chosen as the target is neither opened (it would block) nor replaced.
TEST_F(ImageSaverTest, AFifoAsTargetIsRefusedAndStays) {
    for (const bool chipData : {false, true}) {
        SCOPED_TRACE(chipData ? "chip data" : "save as");
        const std::string target = dir.file("pipe.bin");
        ASSERT_EQ(::mkfifo(target.c_str(), 0600), 0);
        if (chipData)
            LoadChipData(PatternBytes(3000, 5));
        else
            LoadEdited("fw.bin", PatternBytes(3000, 5), PatternBytes(3000, 5));
        log.Clear();
        fileDialog.Queue(target);
        if (chipData)
            saver.SaveImage();
        else
            saver.SaveImageAs();
        EXPECT_EQ(log.With("status:"), Events{kSaveFailed});
        EXPECT_TRUE(std::filesystem::is_fifo(target));
        std::filesystem::remove(target);
    }
}

TEST_F(ImageSaverTest, SaveAsKeepsTheReplacedFilesPermissions) {
    const Bytes source = PatternBytes(64);
    LoadEdited("fw.bin", source, WithByte(source, 1, 0));
    const std::string target = dir.Write("shared.bin", {7});
    chmod(target.c_str(), 0640);
    fileDialog.Queue(target);
    saver.SaveImageAs();
    struct stat st {};
    ASSERT_EQ(stat(target.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0640u);
    EXPECT_EQ(ReadBytes(target), WithByte(source, 1, 0));
}

// An ordinary save writes into the user's file itself: same inode, links kept.
TEST_F(ImageSaverTest, SaveKeepsTheFileItself) {
    const Bytes source = PatternBytes(64);
    const std::string path = LoadEdited("fw.bin", source, WithByte(source, 1, 0));
    std::filesystem::create_hard_link(path, dir.file("second-name.bin"));
    struct stat before {};
    ASSERT_EQ(stat(path.c_str(), &before), 0);
    saver.SaveImage();
    struct stat after {};
    ASSERT_EQ(stat(path.c_str(), &after), 0);
    EXPECT_EQ(after.st_ino, before.st_ino);
    EXPECT_EQ(ReadBytes(dir.file("second-name.bin")), WithByte(source, 1, 0));
}

TEST_F(ImageSaverTest, ChangeLogOpensInTheOwnViewerOrSaysItIsMissing) {
    struct Row {
        ShellOpenResult result;
        Events boxes;
    };
    const Row rows[] = {
        {ShellOpenResult::Opened, {}},
        {ShellOpenResult::FileNotFound, {"box:提示|exclamation|文件被破坏，未发现文件！"}},
        {ShellOpenResult::Failed, {}},
    };
    for (const Row& row : rows) {
        log.Clear();
        shell.ownResult = row.result;
        saver.ShowChangeLog();
        EXPECT_EQ(log.With("own-viewer:"), Events{"own-viewer:log|" + dir.file("修改记录.txt")});
        EXPECT_TRUE(log.With("shell-open:").empty());
        EXPECT_EQ(log.With("box:"), row.boxes);
    }
}

}  // namespace
