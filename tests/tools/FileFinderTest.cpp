#include "tools/FileFinder.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <string>
#include <vector>

#include "QueuedWindow.h"
#include "RecordingPorts.h"
#include "hexview/HexView.h"
#include "image/FileImage.h"
#include "operations/OperationWorker.h"
#include "operations/WorkerState.h"
#include "platform/File.h"
#include "support/RecordingScrollBar.h"
#include "support/TempDirectory.h"
#include "tools/AddressJump.h"
#include "tools/FindHitView.h"
#include "tools/FindSession.h"
#include "widgets/GridModel.h"

namespace {

using namespace std::chrono_literals;
using Bytes = std::vector<uint8_t>;

constexpr auto kTimeout = 20s;
const std::string kEndBox = std::string("box:提示|information|") + FileFinder::EndMessage;

// The find as the program runs it: the dialog's presses on this thread (the
// window), the search on the real worker thread, everything it does to the view
// and every box carried back to this thread.
class FileFinderTest : public ::testing::Test {
protected:
    FileFinderTest()
        : commands(log),
          scrollBar(log),
          status(log),
          recordedBoxes(log),
          boxes(window, recordedBoxes),
          view(image, grid, scrollBar, commands, state),
          jump(image, view, grid, status, boxes, state),
          hitView(jump, view, grid),
          worker(state, [this](uint8_t code) { RunCommand(code); }),
          session(state, worker, window, boxes),
          finder(image, session, hitView, window, boxes) {
        view.SetUpHexGrid();
        view.ResetScrollBar();
        worker.Start();
        EXPECT_TRUE(worker.WaitUntilIdle(5s));
    }

    ~FileFinderTest() override {
        session.StopForShutdown();
        worker.RequestQuit();
        window.ServeUntil([this] { return worker.HasEnded(); });
        worker.Join();
    }

    void RunCommand(uint8_t code) {
        if (code == WorkerCode::Find) {
            finder.FindInFile();
        } else if (code == WorkerCode::Erase) {
            // A chip operation that holds the worker until the test lets it go.
            BusyScope busy(state.EraseBusy);
            std::unique_lock lock(chipMutex);
            chipStarted = true;
            chipChanged.notify_all();
            chipChanged.wait(lock, [this] { return chipRelease; });
        }
    }

    void Open(const Bytes& bytes) {
        const std::string path = dir.Write("h_alor1.dll", bytes);
        ASSERT_TRUE(image.workCopy().Open(path, File::Mode::ReadWrite));
        ASSERT_TRUE(image.sourceFile().Open(path, File::Mode::ReadOnly));
        image.SetLength(static_cast<uint32_t>(bytes.size()));
        image.SetLoaded(true);
        view.UpdateScrollRange();
        view.SetTopRow(0);
        view.RefreshPage();
    }

    // Serves the window until the search waits at a hit (the offset of the focus
    // cell) or has ended (-1).
    int64_t Next() {
        const bool settled = window.ServeFor(
            [this] { return state.WorkerCommand == 0 || (!session.Searching() && worker.IsIdle()); },
            kTimeout);
        EXPECT_TRUE(settled);
        if (!session.Searching()) return -1;
        const GridCellId focus = grid.CurrentCell();
        return (static_cast<int64_t>(view.topRow()) + focus.row - 1) * 16 + focus.column - 1;
    }

    // Presses the button as a dialog would and gives where the search settled.
    int64_t Press(const std::string& typed, FindMode mode = FindMode::Hex) {
        caption = session.Press(typed, mode, first) ? "下一个" : caption;
        if (caption == "下一个") first = false;
        return Next();
    }

    // Every hit of one search from its first press to the end message.
    std::vector<int64_t> AllHits(const std::string& typed, FindMode mode) {
        std::vector<int64_t> hits;
        for (int64_t hit = Press(typed, mode); hit >= 0; hit = Press(typed, mode)) {
            hits.push_back(hit);
            if (hits.size() > 64) break;
        }
        return hits;
    }

    int FoundCells() const {
        int found = 0;
        for (int r = 1; r <= HexView::kPageRows; ++r)
            for (int c = 1; c <= HexView::kRowBytes; ++c) found += view.MarkOf(r, c) == HexView::Found;
        return found;
    }

    TempDirectory dir;
    EventLog log;
    WorkerState state;
    FileImage image;
    GridModel grid;
    QueuedWindow window;
    RecordingCommandStates commands;
    RecordingScrollBar scrollBar;
    RecordingStatusLine status;
    ScriptedMessageBoxes recordedBoxes;
    WindowCarriedBoxes boxes;
    HexView view;
    AddressJump jump;
    FindHitView hitView;
    OperationWorker worker;
    FindSession session;
    FileFinder finder;

    bool first = true;
    std::string caption = "确定";

    std::mutex chipMutex;
    std::condition_variable chipChanged;
    bool chipStarted = false;
    bool chipRelease = false;
};

struct HitCase {
    const char* name;
    Bytes file;
    std::string typed;
    FindMode mode;
    std::vector<int64_t> hits;
};

TEST_F(FileFinderTest, HitsAreTheLeftToRightNonOverlappingOnesThenTheEndMessage) {
    const HitCase cases[] = {
        {"lower-case a is the byte 0A", {0x01, 0x0A, 0x02, 0x0A}, "a", FindMode::Hex, {1, 3}},
        {"0a", {0x01, 0x0A, 0x02, 0x0A}, "0a", FindMode::Hex, {1, 3}},
        {"0A", {0x01, 0x0A, 0x02, 0x0A}, "0A", FindMode::Hex, {1, 3}},
        {"hex AB is one byte", {0x41, 0x42, 0xAB, 0x41, 0x42}, "AB", FindMode::Hex, {2}},
        {"character AB is 41 42", {0x41, 0x42, 0xAB, 0x41, 0x42}, "AB", FindMode::Character, {0, 3}},
        {"41 41 42 shifts by one", {0x41, 0x41, 0x42}, "4142", FindMode::Hex, {1}},
        {"five AA with AA AA", {0xAA, 0xAA, 0xAA, 0xAA, 0xAA}, "AAAA", FindMode::Hex, {0, 2}},
        {"odd hex gets a leading 0", {0x0A, 0xBC, 0xAB, 0xC0}, "ABC", FindMode::Hex, {0}},
        {"Chinese characters as GBK", {0x00, 0xD6, 0xD0, 0xCE, 0xC4, 0xD6}, "中文", FindMode::Character, {1}},
        {"a pattern longer than the file", {0x11, 0x22}, "112233", FindMode::Hex, {}},
        {"no occurrence", {0x11, 0x22, 0x33}, "44", FindMode::Hex, {}},
        {"a hit in the last byte", {0x00, 0x00, 0x00, 0x7F}, "7F", FindMode::Hex, {3}},
    };
    for (const HitCase& c : cases) {
        SCOPED_TRACE(c.name);
        Open(c.file);
        first = true;
        log.Clear();
        EXPECT_EQ(AllHits(c.typed, c.mode), c.hits);
        EXPECT_EQ(log.With("box:"), std::vector<std::string>{kEndBox});
        EXPECT_TRUE(worker.IsIdle());
        image.Unload();
    }
}

TEST_F(FileFinderTest, EmptyFileEndsAtOnce) {
    Open({});
    EXPECT_EQ(Press("00"), -1);
    EXPECT_EQ(log.With("box:"), std::vector<std::string>{kEndBox});
}

TEST_F(FileFinderTest, HitIsHighlightedWhiteOnBlueOnlyForItsBytes) {
    Bytes file(64, 0x00);
    for (size_t at : {14u, 40u}) {  // the first across the end of the first row
        file[at] = 0x12;
        file[at + 1] = 0x34;
        file[at + 2] = 0x56;
    }
    Open(file);
    ASSERT_EQ(Press("123456"), 14);
    for (auto [row, column] : {std::pair{1, 15}, {1, 16}, {2, 1}}) {
        EXPECT_EQ(view.MarkOf(row, column), HexView::Found);
        EXPECT_EQ(grid.CellTextColour(row, column), GridRgb(255, 255, 255));
        EXPECT_EQ(grid.CellBackColour(row, column), GridRgb(0, 0, 255));
    }
    EXPECT_EQ(FoundCells(), 3);
    // The next hit's refresh gives the old cells their colours back.
    ASSERT_EQ(Press("123456"), 40);
    EXPECT_EQ(view.MarkOf(1, 15), HexView::Unchanged);
    EXPECT_EQ(grid.CellBackColour(1, 15), kGridDefaultColour);
    EXPECT_EQ(view.MarkOf(3, 9), HexView::Found);
    EXPECT_EQ(FoundCells(), 3);
}

TEST_F(FileFinderTest, HighlightStopsAtTheLastRowOfThePage) {
    Bytes file(4000, 0x5A);
    for (int i = 1000; i < 1400; ++i) file[i] = 0x55;
    Open(file);
    ASSERT_EQ(Press(std::string(2 * 400, '5')), 1000);
    // The page starts at the hit's row (offset 992): 328 of its 400 bytes are on it.
    EXPECT_EQ(view.topRow(), 62u);
    EXPECT_EQ(FoundCells(), 328);
    EXPECT_EQ(view.MarkOf(1, 8), HexView::Unchanged);
    EXPECT_EQ(view.MarkOf(1, 9), HexView::Found);
    EXPECT_EQ(view.MarkOf(21, 16), HexView::Found);
}

TEST_F(FileFinderTest, HitAcrossAStretchBoundaryIsFoundThroughTheOverlap) {
    Bytes file(1024000 + 5000, 0x00);
    const Bytes pattern = {0xDE, 0xAD, 0xBE, 0xEF, 0x01, 0x02, 0x03, 0x04};
    const size_t at = FileFinder::kStretchBytes - 3;
    std::copy(pattern.begin(), pattern.end(), file.begin() + static_cast<std::ptrdiff_t>(at));
    Open(file);
    EXPECT_EQ(AllHits("DEADBEEF01020304", FindMode::Hex), std::vector<int64_t>{static_cast<int64_t>(at)});
}

TEST_F(FileFinderTest, HitsStayApartAcrossStretches) {
    // Stretches of 4 bytes overlap by one: the hit at 2..3 must not let 3..4 count.
    finder.SetStretchBytes(4);
    Open(Bytes(10, 0xAA));
    EXPECT_EQ(AllHits("AAAA", FindMode::Hex), (std::vector<int64_t>{0, 2, 4, 6, 8}));
}

TEST_F(FileFinderTest, HitInTheLastBytesOfALongFileShowsTheLastPageFull) {
    Bytes file(100000, 0x00);
    file[99997] = 0xC0;
    file[99998] = 0xFF;
    file[99999] = 0xEE;
    Open(file);
    ASSERT_EQ(Press("C0FFEE"), 99997);
    const uint32_t rows = (100000 + 15) / 16;
    EXPECT_EQ(view.topRow(), rows - HexView::kPageRows);
    EXPECT_EQ(grid.CurrentCell(), (GridCellId{21, 14}));
    EXPECT_EQ(FoundCells(), 3);
    EXPECT_EQ(Press("C0FFEE"), -1);
    // The end puts the top row back where the last hit left it.
    EXPECT_EQ(view.topRow(), rows - HexView::kPageRows);
}

TEST_F(FileFinderTest, AfterTheEndMessageTheSameDataStartsAgainFromTheStart) {
    Open({0x00, 0x77, 0x00, 0x77});
    EXPECT_EQ(Press("77"), 1);
    EXPECT_EQ(Press("77"), 3);
    EXPECT_EQ(Press("77"), -1);
    EXPECT_EQ(Press("77"), 1);
    EXPECT_EQ(log.With("box:").size(), 1u);
}

TEST_F(FileFinderTest, ChangedDataWhileWaitingStopsAndStartsFromTheStart) {
    Open({0xBB, 0x00, 0xAA, 0x00, 0xBB});
    EXPECT_EQ(Press("AA"), 2);
    EXPECT_EQ(Press("BB"), 0);
    EXPECT_EQ(session.lastSearchPattern(), "BB");
    EXPECT_EQ(Press("BB"), 4);
    // The stopped search showed no end message.
    EXPECT_TRUE(log.With("box:").empty());
}

TEST_F(FileFinderTest, ClosingTheDialogWhileWaitingStopsTheSearch) {
    Open({0x00, 0x99, 0x99});
    ASSERT_EQ(Press("99"), 1);
    session.DialogClosed();
    ASSERT_TRUE(window.ServeFor([this] { return worker.IsIdle(); }, kTimeout));
    EXPECT_FALSE(session.Searching());
    EXPECT_TRUE(log.With("box:").empty());
    // The page stays on the last hit, and the worker takes the next command.
    EXPECT_EQ(view.MarkOf(1, 2), HexView::Found);
    EXPECT_TRUE(worker.Request(WorkerCode::DetectQuiet));
}

TEST_F(FileFinderTest, FirstPressInANewDialogReplacesAWaitingSearch) {
    Open({0x10, 0x20, 0x10, 0x20});
    ASSERT_EQ(Press("20"), 1);
    ASSERT_EQ(Press("20"), 3);
    // A second dialog: its first press starts over, even with the same data.
    first = true;
    EXPECT_EQ(Press("20"), 1);
    EXPECT_TRUE(log.With("box:").empty());
}

TEST_F(FileFinderTest, StopAskedBeforeTheSearchStartedEndsItAtItsFirstHit) {
    Open({0x42, 0x42});
    ASSERT_TRUE(session.Press("42", FindMode::Hex, true));
    session.DialogClosed();  // the worker may not have read its 9 yet
    ASSERT_TRUE(window.ServeFor([this] { return !session.Searching() && worker.IsIdle(); }, kTimeout));
    EXPECT_TRUE(log.With("box:").empty());
}

TEST_F(FileFinderTest, BadInputGetsItsBoxAndStartsNothing) {
    Open({0x01});
    const std::pair<std::string, std::string> cases[] = {
        {"", FindSession::EmptyMessage},
        {"A B", FindSession::BadHexMessage},
        {"AG", FindSession::BadHexMessage},
        {"0x01", FindSession::BadHexMessage},
    };
    for (const auto& [typed, message] : cases) {
        SCOPED_TRACE(typed);
        log.Clear();
        EXPECT_FALSE(session.Press(typed, FindMode::Hex, true));
        EXPECT_EQ(log.Events(), std::vector<std::string>{"box:提示|exclamation|" + message});
        EXPECT_FALSE(session.Searching());
        EXPECT_TRUE(worker.IsIdle());
    }
}

TEST_F(FileFinderTest, SearchIsRefusedWhileAChipOperationRuns) {
    Open({0x01});
    ASSERT_TRUE(worker.Request(WorkerCode::Erase));
    {
        std::unique_lock lock(chipMutex);
        chipChanged.wait(lock, [this] { return chipStarted; });
    }
    EXPECT_FALSE(session.Press("01", FindMode::Hex, true));
    EXPECT_EQ(log.With("box:"),
              std::vector<std::string>{std::string("box:提示|exclamation|") + FindSession::RefusedMessage});
    EXPECT_FALSE(session.Searching());
    {
        std::lock_guard lock(chipMutex);
        chipRelease = true;
    }
    chipChanged.notify_all();
    ASSERT_TRUE(worker.WaitUntilIdle(kTimeout));
    EXPECT_EQ(Press("01"), 0);
}

TEST_F(FileFinderTest, NoMemoryForTheBufferGetsTheMemoryMessage) {
    finder.SetAllocator([](size_t) { return std::unique_ptr<uint8_t[]>(); });
    Open({0x01});
    EXPECT_EQ(Press("01"), -1);
    EXPECT_EQ(log.With("box:"),
              std::vector<std::string>{std::string("box:提示|exclamation|") + FileFinder::MemoryMessage});
}

// The leftmost occurrence at or after `from`, by plain comparison.
size_t Naive(const Bytes& data, size_t from, const Bytes& p) {
    for (size_t i = from; i + p.size() <= data.size(); ++i)
        if (std::equal(p.begin(), p.end(), data.begin() + static_cast<std::ptrdiff_t>(i))) return i;
    return data.size();
}

TEST(FileFinderFindIn, AgreesWithAPlainScanOnSparseAndDenseData) {
    struct Data {
        const char* name;
        Bytes text;
    };
    Bytes random(20000);
    uint32_t x = 0x9E3779B9;
    for (uint8_t& b : random) {
        x ^= x << 13;
        x ^= x >> 17;
        x ^= x << 5;
        b = static_cast<uint8_t>(x & 0x3);  // four values: candidates everywhere, many near misses
    }
    Bytes ff(20000, 0xFF);
    Bytes ffTail = ff;
    ffTail[19990] = 0x00;
    Bytes mixed = random;  // sparse first, then a dense stretch of FF
    std::fill(mixed.begin() + 10000, mixed.end(), 0xFF);
    mixed[15000] = 0x00;
    const Data texts[] = {
        {"four values", random}, {"all FF", ff}, {"FF with one 00", ffTail}, {"mixed", mixed}};
    Bytes ff15_00(16, 0xFF);
    ff15_00[15] = 0x00;
    Bytes zero_ff15(16, 0xFF);
    zero_ff15[0] = 0x00;
    const Bytes patterns[] = {
        {0x01},          {0x02, 0x03},      {0x00, 0x01, 0x02, 0x03, 0x00}, ff15_00, zero_ff15,
        Bytes(16, 0xFF), {0x03, 0x03, 0x03}};
    for (const Data& d : texts) {
        for (const Bytes& p : patterns) {
            for (size_t from : {size_t{0}, size_t{1}, size_t{9999}, size_t{19985}}) {
                SCOPED_TRACE(std::string(d.name) + " pattern of " + std::to_string(p.size()) + " from " +
                             std::to_string(from));
                EXPECT_EQ(FileFinder::FindIn(d.text.data(), d.text.size(), from, p.data(), p.size()),
                          Naive(d.text, from, p));
            }
        }
    }
}

TEST(FileFinderFindIn, FirstOccurrenceFromAPosition) {
    const Bytes data = {1, 2, 3, 1, 2, 3, 1, 2};
    const Bytes p = {1, 2, 3};
    EXPECT_EQ(FileFinder::FindIn(data.data(), data.size(), 0, p.data(), p.size()), 0u);
    EXPECT_EQ(FileFinder::FindIn(data.data(), data.size(), 1, p.data(), p.size()), 3u);
    EXPECT_EQ(FileFinder::FindIn(data.data(), data.size(), 4, p.data(), p.size()), data.size());
    EXPECT_EQ(FileFinder::FindIn(data.data(), data.size(), 9, p.data(), p.size()), data.size());
}

}  // namespace
