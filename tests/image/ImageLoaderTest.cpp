#include "image/ImageLoader.h"

#include <gtest/gtest.h>
#include <cerrno>
#include <cstdio>
#include <filesystem>
#include <mutex>
#include <set>
#include <string>
#include <vector>

#include <sys/stat.h>
#include <unistd.h>

#include "hexview/HexView.h"
#include "image/FileImage.h"
#include "image/ImageTexts.h"
#include "operations/WorkerState.h"
#include "platform/File.h"
#include "ports/CommandIds.h"
#include "support/BlockingGuard.h"
#include "support/RecordingPorts.h"
#include "support/RecordingScrollBar.h"
#include "support/TempDirectory.h"
#include "widgets/GridModel.h"

namespace {

using Events = std::vector<std::string>;

struct HookGuard {
    explicit HookGuard(File::FaultHook hook) { File::SetFaultHook(hook); }
    ~HookGuard() { File::SetFaultHook(nullptr); }
};

class ImageLoaderTest : public ::testing::Test {
protected:
    ImageLoaderTest()
        : status(log),
          boxes(log),
          commands(log),
          texts(log),
          scrollBar(log),
          view(image, grid, scrollBar, commands, state),
          controls(commands, texts),
          loader(image, view, status, boxes, dir.file("h_alor1.dll"), dir.file("h_alor0.dll")) {
        loader.SetControls(&controls);
        view.SetUpHexGrid();
        view.ResetScrollBar();
        grid.SetRepaintListener([this] { log.Add("repaint"); });
        loader.SetCloseCellEditor([this] { log.Add("close-editor"); });
        loader.SetEditModeQuery([this] { return editMode; });
        log.Clear();
    }

    std::string Load(const std::string& name, const std::vector<uint8_t>& bytes) {
        std::string path = dir.Write(name, bytes);
        loader.LoadImageFile(path, true);
        return path;
    }

    TempDirectory dir;
    EventLog log;
    FileImage image;
    GridModel grid;
    WorkerState state;
    RecordingStatusLine status;
    ScriptedMessageBoxes boxes;
    RecordingCommandStates commands;
    RecordingControlTexts texts;
    RecordingScrollBar scrollBar;
    HexView view;
    LoadedImageControls controls;
    ImageLoader loader;
    bool editMode = false;
};

TEST_F(ImageLoaderTest, UserFileStepsInOrder) {
    auto bytes = PatternBytes(20);
    std::string path = Load("fw.bin", bytes);
    const Events expected = {
        "scroll-range:0|0",    "scroll-pos:0",
        "status:文件打开成功", "close-editor",
        "text:1011|0.02KB",    "text:1033|" + ChecksumText(ByteSum(bytes.data(), bytes.size())),
        "text:1032|fw.bin",    "text:1003|" + path,
        "enable:32784|1",      "enable:32811|1",
        "enable:32807|1",      "enable:32783|1",
        "enable:32803|1",      "enable:1075|0",
        "scroll-pos:0",        "repaint",
    };
    EXPECT_EQ(log.Events(), expected);
    EXPECT_TRUE(image.loaded());
    EXPECT_EQ(image.length(), 20u);
    EXPECT_EQ(image.sourcePath(), path);
    EXPECT_EQ(image.nameText(), "fw.bin");
    EXPECT_EQ(ReadBytes(dir.file("h_alor1.dll")), bytes);
    EXPECT_EQ(grid.CellText(1, 1), "00");
    char last[3];
    std::snprintf(last, sizeof last, "%02X", bytes[19]);
    EXPECT_EQ(grid.CellText(2, 4), last);
    EXPECT_EQ(view.MarkOf(2, 4), HexView::Unchanged);
    EXPECT_EQ(view.MarkOf(2, 5), HexView::Outside);
}

TEST_F(ImageLoaderTest, EditModeEnablesFillBetweenFindAndGoto) {
    editMode = true;
    Load("fw.bin", PatternBytes(4));
    EXPECT_EQ(log.With("enable:"),
              (Events{"enable:32784|1", "enable:32811|1", "enable:32801|1", "enable:32807|1",
                      "enable:32783|1", "enable:32803|1", "enable:1075|0"}));
}

TEST_F(ImageLoaderTest, ChipDataStepsInOrder) {
    auto bytes = std::vector<uint8_t>(16, 0xFF);
    dir.Write("h_alor0.dll", bytes);
    grid.SetCurrentCell(3, 4);
    view.SetFocusFollow(true);
    log.Clear();
    loader.LoadImageFile(dir.file("h_alor0.dll"), false);
    const Events expected = {
        "scroll-range:0|0",
        "scroll-pos:0",
        "status:读取成功！",
        "repaint",  // the focus cell is cleared
        "close-editor",
        "text:1011|0.02KB",
        "text:1033|0000000FF0",
        "text:1032|芯片内数据",
        "enable:32784|1",
        "enable:32811|1",
        "enable:32803|1",
        "enable:32783|1",
        "enable:1075|1",
        "enable:32807|1",
        "text:1003|芯片内数据，尚未保存!",
        "scroll-pos:0",
        "repaint",
    };
    EXPECT_EQ(log.Events(), expected);
    EXPECT_TRUE(image.loaded());
    EXPECT_EQ(image.nameText(), "芯片内数据");
    EXPECT_FALSE(view.focusFollow());
    EXPECT_FALSE(grid.CurrentCell().IsValid());
}

TEST_F(ImageLoaderTest, WorkFilesAreRefusedAndNothingChanges) {
    auto bytes = PatternBytes(40);
    std::string path = Load("fw.bin", bytes);
    view.SetFocusFollow(true);
    log.Clear();
    for (std::string name : {"h_alor1.dll", "h_alor0.dll"}) {
        loader.LoadImageFile(dir.file(name), true);
        EXPECT_EQ(log.Events(), (Events{"box:警告|exclamation|系统文件禁止打开！    "})) << name;
        log.Clear();
        EXPECT_TRUE(image.loaded());
        EXPECT_EQ(image.sourcePath(), path);
        EXPECT_EQ(image.length(), 40u);
        EXPECT_TRUE(view.focusFollow());
    }
    EXPECT_EQ(ReadBytes(dir.file("h_alor1.dll")), bytes);
}

// Any other name of a work file is the same file: refused, and the work copy the
// loader would have emptied keeps its bytes.
TEST_F(ImageLoaderTest, OtherSpellingsOfTheWorkFilesAreRefused) {
    auto bytes = PatternBytes(40);
    std::string path = Load("fw.bin", bytes);
    dir.Write("h_alor0.dll", PatternBytes(16, 3));
    std::filesystem::create_directory(dir.file("sub"));
    std::filesystem::create_symlink(dir.file("h_alor1.dll"), dir.file("link1.bin"));
    std::filesystem::create_symlink(dir.file("h_alor0.dll"), dir.file("link0.bin"));
    std::filesystem::create_hard_link(dir.file("h_alor0.dll"), dir.file("hard0.bin"));
    const std::string base = dir.path().string();
    const std::vector<std::string> spellings = {
        base + "/./h_alor1.dll", base + "/sub/../h_alor1.dll", base + "//h_alor0.dll",
        dir.file("link1.bin"),   dir.file("link0.bin"),        dir.file("hard0.bin"),
    };
    for (const std::string& spelling : spellings) {
        log.Clear();
        loader.LoadImageFile(spelling, true);
        EXPECT_EQ(log.Events(), (Events{"box:警告|exclamation|系统文件禁止打开！    "})) << spelling;
        EXPECT_TRUE(image.loaded()) << spelling;
        EXPECT_EQ(image.sourcePath(), path) << spelling;
        EXPECT_EQ(ReadBytes(dir.file("h_alor1.dll")), bytes) << spelling;
    }
    EXPECT_EQ(ReadBytes(dir.file("h_alor0.dll")), PatternBytes(16, 3));
}

// A link planted as the work copy is not written through.
TEST_F(ImageLoaderTest, WorkCopyIsNeverMadeThroughALink) {
    auto victim = PatternBytes(30, 9);
    std::string victimPath = dir.Write("victim.bin", victim);
    std::filesystem::create_symlink(victimPath, dir.file("h_alor1.dll"));
    Load("a.bin", PatternBytes(10));
    EXPECT_EQ(log.Events(), (Events{"status:文件打开失败|alert", "box:错误|stop|无法打开文件！"}));
    EXPECT_FALSE(image.loaded());
    EXPECT_EQ(ReadBytes(victimPath), victim);
    EXPECT_TRUE(std::filesystem::is_symlink(dir.file("h_alor1.dll")));
}

// A FIFO would block the window, a device streams without end or reads as empty:
// only regular files are images. Every failed load leaves the work copy empty.
TEST_F(ImageLoaderTest, FailedLoadsEmptyTheWorkCopyAndRefuseAnythingButAFile) {
    struct Case {
        std::string name;
        std::function<std::string()> prepare;
    };
    const std::vector<Case> cases = {
        {"fifo",
         [&] {
             std::string fifo = dir.file("pipe.bin");
             if (::mkfifo(fifo.c_str(), 0600) != 0) ADD_FAILURE() << "mkfifo";
             return fifo;
         }},
        {"/dev/null", [] { return std::string("/dev/null"); }},
        {"/dev/zero", [] { return std::string("/dev/zero"); }},
        {"missing", [&] { return dir.file("missing.bin"); }},
        {"directory",
         [&] {
             std::filesystem::create_directory(dir.file("folder"));
             return dir.file("folder");
         }},
    };
    for (const Case& c : cases) {
        Load("prev.bin", PatternBytes(5000));
        ASSERT_TRUE(image.loaded());
        const std::string path = c.prepare();
        log.Clear();
        EXPECT_TRUE(FinishesWithoutBlocking(path, [&] { loader.LoadImageFile(path, true); })) << c.name;
        EXPECT_EQ(log.Events(), (Events{"status:文件打开失败|alert", "box:错误|stop|无法打开文件！"}))
            << c.name;
        EXPECT_FALSE(image.loaded()) << c.name;
        EXPECT_EQ(std::filesystem::file_size(dir.file("h_alor1.dll")), 0u) << c.name;
    }
}

TEST_F(ImageLoaderTest, OnlyAnotherHolderOfTheLockRefusesTheLoad) {
    struct Case {
        int lockError;
        bool loads;
    };
    // Network and FUSE mounts without flock answer with these; only EWOULDBLOCK
    // means another program holds the work copy.
    const Case cases[] = {
        {ENOLCK, true}, {EOPNOTSUPP, true}, {EINVAL, true}, {ENOSYS, true}, {EWOULDBLOCK, false}};
    static int s_error = 0;
    for (const Case& c : cases) {
        s_error = c.lockError;
        File::SetLockHook([](const File&) { return s_error; });
        log.Clear();
        Load("a.bin", PatternBytes(100));
        File::SetLockHook(nullptr);
        EXPECT_EQ(image.loaded(), c.loads) << c.lockError;
        EXPECT_EQ(status.lastText(), c.loads ? "文件打开成功" : "文件打开失败") << c.lockError;
        if (c.loads) {
            EXPECT_EQ(ReadBytes(dir.file("h_alor1.dll")), PatternBytes(100));
        }
    }
}

TEST_F(ImageLoaderTest, CopyBoundariesGiveIdenticalWorkCopy) {
    struct Case {
        size_t length;
        const char* sizeText;
    };
    const Case cases[] = {{0, "0.00KB"}, {8192, "8.00KB"}, {8193, "8.00KB"}, {1048576, "1024.00KB"}};
    for (const Case& c : cases) {
        auto bytes = PatternBytes(c.length, 1);
        Load("f" + std::to_string(c.length) + ".bin", bytes);
        ASSERT_TRUE(image.loaded()) << c.length;
        EXPECT_EQ(image.length(), c.length);
        EXPECT_EQ(image.sizeText(), c.sizeText);
        EXPECT_EQ(image.checksumText(), ChecksumText(ByteSum(bytes.data(), bytes.size())));
        EXPECT_EQ(texts.Text(CommandId::SizeLabel), c.sizeText);
        EXPECT_EQ(ReadBytes(dir.file("h_alor1.dll")), bytes);
    }
}

TEST_F(ImageLoaderTest, EmptyFileShowsAllGrey) {
    Load("empty.bin", {});
    ASSERT_TRUE(image.loaded());
    EXPECT_EQ(image.checksumText(), "0000000000");
    EXPECT_EQ(image.sizeText(), "0.00KB");
    for (int r = 1; r <= 21; ++r)
        for (int c = 1; c <= 16; ++c) ASSERT_EQ(view.MarkOf(r, c), HexView::Outside);
    EXPECT_EQ(grid.EffectiveTextColour(1, 1), GridRgb(204, 204, 204));
}

TEST_F(ImageLoaderTest, FailuresOfUserFileAndChipData) {
    struct Case {
        std::string name;
        std::function<std::string()> prepare;  // returns the path to load
        bool userOpened;
        Events expected;
    };
    const Events userFailure = {"status:文件打开失败|alert", "box:错误|stop|无法打开文件！"};
    const Events chipFailure = {"status:芯片读取失败！|alert", "box:错误|stop|芯片读取失败！"};
    const std::vector<Case> cases = {
        {"missing source", [&] { return dir.file("missing.bin"); }, true, userFailure},
        {"source is a directory",
         [&] {
             std::filesystem::create_directory(dir.file("folder"));
             return dir.file("folder");
         },
         true, userFailure},
        {"work copy cannot be created",
         [&] {
             std::filesystem::remove(dir.file("h_alor1.dll"));
             std::filesystem::create_directory(dir.file("h_alor1.dll"));
             return dir.Write("ok.bin", PatternBytes(10));
         },
         true, userFailure},
        {"chip work file missing",
         [&] {
             std::filesystem::remove_all(dir.file("h_alor1.dll"));
             return dir.file("h_alor0.dll");
         },
         false, chipFailure},
    };
    for (const Case& c : cases) {
        // A loaded image first: a failure leaves nothing loaded but the texts as they were.
        Load("prev.bin", PatternBytes(400));
        ASSERT_TRUE(image.loaded());
        view.SetTopRow(3);
        const std::string pathBox = texts.Text(CommandId::PathBox);
        std::string path = c.prepare();
        log.Clear();
        loader.LoadImageFile(path, c.userOpened);
        EXPECT_EQ(log.Events(), c.expected) << c.name;
        EXPECT_FALSE(image.loaded()) << c.name;
        EXPECT_EQ(image.length(), 0u);
        EXPECT_FALSE(image.IsSourceOpen()) << c.name;
        EXPECT_FALSE(image.workCopy().IsOpen()) << c.name;
        EXPECT_EQ(view.rowCount(), 0u);
        EXPECT_EQ(view.topRow(), 0u);
        EXPECT_EQ(texts.Text(CommandId::PathBox), pathBox);
        std::filesystem::remove_all(dir.file("h_alor1.dll"));
    }
}

TEST_F(ImageLoaderTest, FourGibibyteFileIsRefusedBeforeCopying) {
    auto previous = PatternBytes(64);
    Load("prev.bin", previous);
    std::string big = dir.file("big.bin");
    {
        File f;
        ASSERT_TRUE(f.Open(big, File::Mode::CreateReadWrite));
        ASSERT_TRUE(f.Truncate(0x100000000ull));  // sparse: no disk used
    }
    log.Clear();
    loader.LoadImageFile(big, true);
    EXPECT_EQ(log.Events(), (Events{"status:文件打开失败|alert", "box:错误|stop|无法打开文件！"}));
    EXPECT_FALSE(image.loaded());
    EXPECT_EQ(image.length(), 0u);
    // Nothing was copied; the previous image's bytes are gone with it.
    EXPECT_EQ(std::filesystem::file_size(dir.file("h_alor1.dll")), 0u);
}

// A sparse file of `size` bytes with 16 marker bytes at 0x80000130.
std::string MakeSparse(TempDirectory& dir, const std::string& name, uint64_t size) {
    std::string path = dir.file(name);
    File f;
    if (!f.Open(path, File::Mode::CreateReadWrite)) return path;
    const uint8_t tail[16] = {0x21, 0x7E, 0x7F, 0x80, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12};
    f.WriteAt(0x80000130ull, tail, sizeof tail);
    f.Truncate(size);
    return path;
}

TEST_F(ImageLoaderTest, DisplayLimitWarnsOnlyAboveTheRowLimit) {
    struct Case {
        uint64_t size;
        bool warns;
    };
    // 0x80000140 bytes are 134217748 rows exactly; one byte more is one row more.
    const Case cases[] = {{0x80000140ull, false}, {0x80000141ull, true}};
    for (const Case& c : cases) {
        std::string path = MakeSparse(dir, "huge.bin", c.size);
        log.Clear();
        loader.LoadImageFile(path, true);
        ASSERT_TRUE(image.loaded()) << c.size;
        EXPECT_EQ(image.length(), c.size);
        auto events = log.Events();
        ASSERT_GE(events.size(), 2u);
        if (c.warns) {
            EXPECT_EQ(events[0], "box:警告|exclamation|文件过大,无法全部显示，但可以烧录！");
            EXPECT_EQ(events[1], "scroll-range:32767|1");
        } else {
            EXPECT_EQ(events[0], "scroll-range:32767|1");
        }
        EXPECT_EQ(image.checksum(), 0x21u + 0x7E + 0x7F + 0x80 + 78);

        // The last page: rows past offset 0x80000000 show their own bytes and addresses.
        ASSERT_TRUE(view.OnScroll(ScrollCode::ThumbTrack, 32767));
        EXPECT_EQ(view.topRow(), view.rowCount() - 21);
        EXPECT_EQ(grid.CellText(1, 0), c.warns ? "80000000" : "7FFFFFF0");
        const int lastRow = 21;
        // One byte more pushes the last page down one row: byte 0x80000140 alone in row 21.
        const int tailRow = c.warns ? lastRow - 1 : lastRow;
        EXPECT_EQ(grid.CellText(tailRow, 1), "21");
        EXPECT_EQ(grid.CellText(tailRow, 4), "80");
        EXPECT_EQ(grid.CellText(tailRow, 17).substr(0, 4), "!~..");
        EXPECT_EQ(view.MarkOf(tailRow, 16), HexView::Unchanged);
        if (c.warns) {
            EXPECT_EQ(grid.CellText(lastRow, 0), "80000140");
            EXPECT_EQ(view.MarkOf(lastRow, 1), HexView::Unchanged);  // the last byte, 0x80000140
            EXPECT_EQ(view.MarkOf(lastRow, 2), HexView::Outside);
        }
        image.Unload();
        std::filesystem::remove(path);
        std::filesystem::remove(dir.file("h_alor1.dll"));
    }
}

std::mutex g_writesMutex;
std::set<std::string> g_writtenPaths;

int FailSourceAfter8192(const File& file, uint64_t offset, size_t, bool write) {
    if (write) {
        std::lock_guard lock(g_writesMutex);
        g_writtenPaths.insert(std::filesystem::path(file.Path()).filename().string());
        return 0;
    }
    // The first reads or copies succeed; whatever reaches past 8192 bytes fails.
    return std::filesystem::path(file.Path()).filename() == "src.bin" && offset >= 8192 ? EIO : 0;
}

int FailWorkCopyReads(const File& file, uint64_t, size_t, bool write) {
    return !write && std::filesystem::path(file.Path()).filename() == "h_alor1.dll" ? EIO : 0;
}

TEST_F(ImageLoaderTest, ReadErrorMidWayShowsFailureAndNeverWritesSource) {
    auto bytes = PatternBytes(50000);
    std::string src = dir.Write("src.bin", bytes);
    {
        HookGuard guard(FailSourceAfter8192);
        loader.LoadImageFile(src, true);
    }
    EXPECT_EQ(log.Events(), (Events{"status:文件打开失败|alert", "box:错误|stop|无法打开文件！"}));
    EXPECT_FALSE(image.loaded());
    EXPECT_EQ(ReadBytes(src), bytes);
    EXPECT_EQ(g_writtenPaths.count("src.bin"), 0u);
    // The 8192 bytes copied before the error are not left behind.
    EXPECT_EQ(std::filesystem::file_size(dir.file("h_alor1.dll")), 0u);

    log.Clear();
    {
        HookGuard guard(FailWorkCopyReads);  // the checksum pass fails
        loader.LoadImageFile(src, true);
    }
    EXPECT_EQ(log.Events(), (Events{"status:文件打开失败|alert", "box:错误|stop|无法打开文件！"}));
    EXPECT_FALSE(image.loaded());
    EXPECT_EQ(ReadBytes(src), bytes);
}

TEST_F(ImageLoaderTest, ReloadDiscardsEditsOfTheWorkCopy) {
    auto bytes = PatternBytes(100);
    std::string path = Load("fw.bin", bytes);
    const std::string checksum = image.checksumText();
    const uint8_t changed = static_cast<uint8_t>(bytes[5] + 1);
    ASSERT_TRUE(image.WriteWork(5, &changed, 1));
    view.RefreshPage();
    EXPECT_EQ(view.MarkOf(1, 6), HexView::Modified);
    EXPECT_TRUE(commands.IsEnabled(CommandId::Save));
    loader.LoadImageFile(path, true);
    EXPECT_EQ(view.MarkOf(1, 6), HexView::Unchanged);
    EXPECT_EQ(grid.EffectiveTextColour(1, 6), GridRgb(0, 0, 0));
    EXPECT_EQ(image.checksumText(), checksum);
    EXPECT_FALSE(commands.IsEnabled(CommandId::Save));
    EXPECT_EQ(ReadBytes(dir.file("h_alor1.dll")), bytes);
}

TEST_F(ImageLoaderTest, LoadClearsFocusTopRowAndFocusFollow) {
    Load("a.bin", PatternBytes(2000));
    ASSERT_TRUE(view.OnScroll(ScrollCode::LineDown, 0));
    ASSERT_EQ(view.topRow(), 1u);
    grid.SetCurrentCell(4, 4);
    view.SetFocusFollow(true);
    Load("b.bin", PatternBytes(2000, 5));
    EXPECT_EQ(view.topRow(), 0u);
    EXPECT_FALSE(view.focusFollow());
    EXPECT_FALSE(grid.CurrentCell().IsValid());
    EXPECT_EQ(grid.CellText(1, 0), "00000000");
}

TEST_F(ImageLoaderTest, WorkCopyIsLockedWhileLoaded) {
    Load("a.bin", PatternBytes(10));
    File other;
    ASSERT_TRUE(other.Open(dir.file("h_alor1.dll"), File::Mode::ReadWrite));
    EXPECT_FALSE(other.LockExclusive());
    image.Unload();
    EXPECT_TRUE(other.LockExclusive());
}

// A reload replaces the old copy by name: the new one is locked, keeps the old
// one's permission bits, holds only the new image, and no temporary stays.
TEST_F(ImageLoaderTest, ReloadPutsALockedCopyInPlaceOfTheOld) {
    Load("a.bin", PatternBytes(300000));
    const std::string work = dir.file("h_alor1.dll");
    ASSERT_EQ(::chmod(work.c_str(), 0600), 0);
    const auto bytes = PatternBytes(4000, 9);
    Load("b.bin", bytes);
    EXPECT_EQ(image.length(), 4000u);
    EXPECT_EQ(ReadBytes(work), bytes);
    struct stat st {};
    ASSERT_EQ(::stat(work.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0600u);
    File other;
    ASSERT_TRUE(other.Open(work, File::Mode::ReadWrite));
    EXPECT_FALSE(other.LockExclusive());
    std::set<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(dir.path()))
        names.insert(entry.path().filename().string());
    EXPECT_EQ(names, (std::set<std::string>{"a.bin", "b.bin", "h_alor1.dll"}));
}

TEST_F(ImageLoaderTest, DroppedFilesLoadFirstOnlyWhenIdleAndOpenEnabled) {
    std::string a = dir.Write("a.bin", PatternBytes(10));
    std::string b = dir.Write("b.bin", PatternBytes(20));
    std::string c = dir.Write("c.bin", PatternBytes(30));
    EXPECT_TRUE(loader.HandleDroppedFiles({a, b, c}, true));
    EXPECT_EQ(image.sourcePath(), a);
    EXPECT_EQ(image.length(), 10u);

    const Events refused = {"box:提示|information|当前不能执行此操作！   "};
    log.Clear();
    EXPECT_FALSE(loader.HandleDroppedFiles({b}, false));  // a chip operation runs
    EXPECT_EQ(log.Events(), refused);
    EXPECT_EQ(image.sourcePath(), a);

    commands.SetEnabled(CommandId::Open, false);
    log.Clear();
    EXPECT_FALSE(loader.HandleDroppedFiles({b}, true));
    EXPECT_EQ(log.Events(), refused);
    EXPECT_EQ(image.sourcePath(), a);

    // A dropped work file meets the same guard as an opened one.
    commands.SetEnabled(CommandId::Open, true);
    log.Clear();
    EXPECT_TRUE(loader.HandleDroppedFiles({dir.file("h_alor0.dll")}, true));
    EXPECT_EQ(log.Events(), (Events{"box:警告|exclamation|系统文件禁止打开！    "}));
}

TEST_F(ImageLoaderTest, TruncatedChipImageReopensShortenedSource) {
    auto chip = PatternBytes(1000, 2);
    dir.Write("h_alor0.dll", chip);
    loader.LoadImageFile(dir.file("h_alor0.dll"), false);
    ASSERT_TRUE(image.loaded());
    // The read empties the chip work file, writes 100 bytes and fails.
    image.CloseSource();
    std::filesystem::resize_file(dir.file("h_alor0.dll"), 100);
    EXPECT_TRUE(loader.ResolveTruncatedChipImage());
    EXPECT_TRUE(image.IsSourceOpen());
    EXPECT_EQ(image.SourceLength(), 100);
    // Bytes 0..99 agree; 100..335 are no longer in the source: modified.
    EXPECT_EQ(view.MarkOf(7, 4), HexView::Unchanged);  // offset 99
    EXPECT_EQ(view.MarkOf(7, 5), HexView::Modified);   // offset 100
    EXPECT_EQ(view.MarkOf(21, 16), HexView::Modified);
}

TEST_F(ImageLoaderTest, TruncatedChipImageUnloadsWhenFileIsGone) {
    dir.Write("h_alor0.dll", PatternBytes(1000));
    loader.LoadImageFile(dir.file("h_alor0.dll"), false);
    image.CloseSource();
    std::filesystem::remove(dir.file("h_alor0.dll"));
    log.Clear();
    EXPECT_FALSE(loader.ResolveTruncatedChipImage());
    EXPECT_FALSE(image.loaded());
    EXPECT_FALSE(image.workCopy().IsOpen());
    EXPECT_EQ(view.rowCount(), 0u);
    EXPECT_EQ(log.Events(), (Events{"scroll-range:0|0", "scroll-pos:0", "repaint"}));
    for (int c = 1; c <= 16; ++c) EXPECT_EQ(view.MarkOf(1, c), HexView::Outside);
    EXPECT_EQ(grid.CellText(1, 1), "FF");
}

TEST_F(ImageLoaderTest, TruncatedChipImageLeavesUserFilesAlone) {
    Load("a.bin", PatternBytes(10));
    log.Clear();
    EXPECT_TRUE(loader.ResolveTruncatedChipImage());
    EXPECT_TRUE(image.IsSourceOpen());
    EXPECT_TRUE(log.Events().empty());
}

TEST(OpenDialogFiltersTest, TwoFiltersInOrder) {
    auto filters = OpenDialogFilters();
    ASSERT_EQ(filters.size(), 2u);
    EXPECT_EQ(filters[0].label, "*.bin;*.rom文件(*.bin;*.rom)");
    EXPECT_EQ(filters[0].patterns, (std::vector<std::string>{"*.bin", "*.rom"}));
    EXPECT_EQ(filters[1].label, "所有文件(*.*)");
    EXPECT_EQ(filters[1].patterns, (std::vector<std::string>{"*"}));
    EXPECT_STREQ(kOpenDialogDefaultExtension, "bin");
}

}  // namespace
