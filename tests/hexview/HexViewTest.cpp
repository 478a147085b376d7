#include "hexview/HexView.h"

#include <gtest/gtest.h>
#include <cerrno>
#include <cstdio>
#include <iterator>
#include <string>
#include <vector>

#include "image/FileImage.h"
#include "operations/WorkerState.h"
#include "platform/File.h"
#include "ports/CommandIds.h"
#include "support/RecordingPorts.h"
#include "support/RecordingScrollBar.h"
#include "support/TempDirectory.h"
#include "widgets/GridModel.h"

namespace {

using Events = std::vector<std::string>;

std::string Hex2(uint8_t b) {
    char t[3];
    std::snprintf(t, sizeof t, "%02X", b);
    return t;
}

// Records what the page refresh asks of the cell editor.
class RecordingEditor : public HexViewEditor {
public:
    explicit RecordingEditor(EventLog& log) : m_log(log) {}
    bool EditPending() const override { return pending; }
    bool EditMode() const override { return mode; }
    void ReopenEditor(int row, int column, const std::string& text) override {
        m_log.Add("reopen:" + std::to_string(row) + "," + std::to_string(column) + "|" + text);
    }
    std::string OpeningText() const override { return openingText; }
    void HideEditor() override { m_log.Add("hide-editor"); }

    bool pending = true;
    bool mode = true;
    std::string openingText = "3A";

private:
    EventLog& m_log;
};

class HexViewTest : public ::testing::Test {
protected:
    HexViewTest() : commands(log), scrollBar(log), view(image, grid, scrollBar, commands, state) {
        view.SetUpHexGrid();
        view.ResetScrollBar();
        grid.SetRepaintListener([this] { log.Add("repaint"); });
        log.Clear();
    }

    // Opens `work` as the work copy and `source` as the source, as the loader leaves them.
    void Open(const std::vector<uint8_t>& source, const std::vector<uint8_t>& work) {
        std::string s = dir.Write("source.bin", source);
        std::string w = dir.Write("h_alor1.dll", work);
        ASSERT_TRUE(image.sourceFile().Open(s, File::Mode::ReadOnly));
        ASSERT_TRUE(image.workCopy().Open(w, File::Mode::ReadWrite));
        image.SetLength(static_cast<uint32_t>(work.size()));
        image.SetLoaded(true);
        view.UpdateScrollRange();
        view.SetTopRow(0);
        view.RefreshPage();
    }
    void Open(const std::vector<uint8_t>& bytes) { Open(bytes, bytes); }

    void WriteWork(uint64_t offset, std::vector<uint8_t> bytes) {
        ASSERT_TRUE(image.WriteWork(offset, bytes.data(), bytes.size()));
        image.SetLength(static_cast<uint32_t>(image.workCopy().Size()));
    }

    // Length only: the paging arithmetic never reads beyond the page.
    void FakeLength(uint64_t rows) {
        Open({1, 2, 3});
        image.SetLength(static_cast<uint32_t>(rows * 16));
        view.UpdateScrollRange();
    }

    int Repaints() const { return static_cast<int>(log.With("repaint").size()); }

    TempDirectory dir;
    EventLog log;
    FileImage image;
    GridModel grid;
    WorkerState state;
    RecordingCommandStates commands;
    RecordingScrollBar scrollBar;
    HexView view;
};

TEST_F(HexViewTest, StartUpPage) {
    EXPECT_EQ(grid.RowCount(), 22);
    EXPECT_EQ(grid.ColumnCount(), 18);
    EXPECT_EQ(grid.CellText(0, 0), "  ADDR");
    EXPECT_EQ(grid.CellText(0, 17), "     ASCII");
    const char* digits[] = {"0", "1", "2", "3", "4", "5", "6", "7", "8", "9", "A", "B", "C", "D", "E", "F"};
    for (int c = 1; c <= 16; ++c) EXPECT_EQ(grid.CellText(0, c), digits[c - 1]);
    EXPECT_EQ(grid.CellText(1, 0), "00000000");
    EXPECT_EQ(grid.CellText(2, 0), "00000010");
    EXPECT_EQ(grid.CellText(21, 0), "00000140");
    for (int r = 1; r <= 21; ++r) {
        EXPECT_EQ(grid.CellText(r, 17), "................");
        for (int c = 1; c <= 16; ++c) {
            ASSERT_EQ(grid.CellText(r, c), "FF");
            ASSERT_EQ(grid.EffectiveTextColour(r, c), GridRgb(204, 204, 204));
            ASSERT_EQ(grid.EffectiveBackColour(r, c), GridRgb(255, 255, 255));
            ASSERT_EQ(view.MarkOf(r, c), HexView::Outside);
        }
    }
    for (auto [r, c] : {std::pair{0, 0}, {0, 5}, {5, 0}, {5, 17}}) {
        EXPECT_EQ(grid.EffectiveTextColour(r, c), GridRgb(0, 0, 255));
        EXPECT_EQ(grid.EffectiveBackColour(r, c), GridRgb(255, 255, 255));
    }
    EXPECT_EQ(grid.RowHeight(0), 18);
    EXPECT_EQ(grid.RowHeight(21), 18);
    EXPECT_EQ(grid.ColumnWidth(0), 80);
    EXPECT_EQ(grid.ColumnWidth(1), 25);
    EXPECT_EQ(grid.ColumnWidth(16), 25);
    EXPECT_EQ(grid.ColumnWidth(17), 132);
    EXPECT_EQ(grid.EffectiveFont(3, 3).height, 14);
    EXPECT_EQ(grid.EffectiveFont(0, 17).width, 7);
    EXPECT_EQ(grid.GridLineColour(), GridRgb(255, 255, 255));
    EXPECT_EQ(grid.HighlightTextColour(), GridRgb(255, 255, 255));
    EXPECT_EQ(grid.HighlightBackColour(), GridRgb(0, 0, 0));
    EXPECT_EQ(grid.FixedShadowColour(), GridRgb(204, 204, 204));
    EXPECT_EQ(grid.TextWidening(3, 3), 4);
    EXPECT_EQ(grid.TextWidening(0, 3), 0);
    EXPECT_EQ(grid.TrailingFixedColumnCount(), 1);
    EXPECT_EQ(grid.TrailingFixedRowCount(), 0);
    EXPECT_FALSE(grid.FocusMarking());
    EXPECT_FALSE(grid.CurrentCell().IsValid());
    EXPECT_EQ(scrollBar.maximum(), 0);
    EXPECT_FALSE(scrollBar.enabled());
    EXPECT_EQ(scrollBar.position(), 0);
}

TEST_F(HexViewTest, RefreshWithoutImageKeepsStartUpPage) {
    view.RefreshPage();
    // Nothing loaded: no file access, no scroll position, one repaint.
    EXPECT_EQ(log.Events(), (Events{"repaint"}));
    EXPECT_EQ(grid.CellText(21, 16), "FF");
    EXPECT_EQ(grid.CellText(21, 0), "00000140");
}

TEST_F(HexViewTest, TwentyByteImage) {
    auto bytes = PatternBytes(20);
    Open(bytes);
    for (int c = 1; c <= 16; ++c) {
        EXPECT_EQ(view.MarkOf(1, c), HexView::Unchanged);
        EXPECT_EQ(grid.EffectiveTextColour(1, c), GridRgb(0, 0, 0));
        EXPECT_EQ(grid.CellText(1, c), Hex2(bytes[c - 1]));
    }
    for (int c = 1; c <= 16; ++c) {
        EXPECT_EQ(view.MarkOf(2, c), c <= 4 ? HexView::Unchanged : HexView::Outside) << c;
        EXPECT_EQ(grid.CellText(2, c), c <= 4 ? Hex2(bytes[15 + c]) : "FF");
    }
    for (int r = 3; r <= 21; ++r)
        for (int c = 1; c <= 16; ++c) ASSERT_EQ(view.MarkOf(r, c), HexView::Outside);
    EXPECT_EQ(view.rowCount(), 2u);
    EXPECT_EQ(scrollBar.maximum(), 0);
    EXPECT_FALSE(scrollBar.enabled());
    log.Clear();
    EXPECT_FALSE(view.OnScroll(ScrollCode::LineDown, 0));
    EXPECT_TRUE(view.OnWheel(-120, true));
    EXPECT_TRUE(log.Events().empty());
    EXPECT_EQ(view.topRow(), 0u);
}

TEST_F(HexViewTest, ImageOf337BytesScrollsOneRow) {
    Open(PatternBytes(337));
    EXPECT_EQ(view.rowCount(), 22u);
    EXPECT_EQ(scrollBar.maximum(), 1);
    EXPECT_TRUE(scrollBar.enabled());
    log.Clear();
    EXPECT_TRUE(view.OnScroll(ScrollCode::LineDown, 0));
    EXPECT_EQ(log.Events(), (Events{"scroll-focus", "scroll-pos:1", "repaint"}));
    EXPECT_EQ(view.topRow(), 1u);
    EXPECT_EQ(grid.CellText(1, 0), "00000010");
    EXPECT_EQ(grid.CellText(21, 0), "00000150");
    EXPECT_EQ(view.MarkOf(21, 1), HexView::Unchanged);  // byte 336
    EXPECT_EQ(view.MarkOf(21, 2), HexView::Outside);
    // Already at the last page: nothing moves, the page is refreshed anyway.
    log.Clear();
    EXPECT_TRUE(view.OnScroll(ScrollCode::PageDown, 0));
    EXPECT_EQ(view.topRow(), 1u);
    EXPECT_EQ(log.Events(), (Events{"scroll-focus", "scroll-pos:1", "repaint"}));
    EXPECT_TRUE(view.OnScroll(ScrollCode::PageUp, 0));
    EXPECT_EQ(view.topRow(), 0u);
    EXPECT_TRUE(view.OnScroll(ScrollCode::LineUp, 0));
    EXPECT_EQ(view.topRow(), 0u);
    // Codes that do not move: focus taken, no refresh.
    log.Clear();
    for (ScrollCode code :
         {ScrollCode::ThumbPosition, ScrollCode::Top, ScrollCode::Bottom, ScrollCode::EndScroll})
        EXPECT_TRUE(view.OnScroll(code, 1));
    EXPECT_EQ(log.Events(), (Events(4, "scroll-focus")));
    EXPECT_EQ(view.topRow(), 0u);
}

TEST_F(HexViewTest, MarksFollowTheWorkCopyAgainstTheSource) {
    // A source of 10 bytes; the work copy extended to 20 by editing.
    std::vector<uint8_t> source = PatternBytes(10);
    std::vector<uint8_t> work = source;
    work.resize(20, 0xFF);
    Open(source, work);
    for (int c = 1; c <= 10; ++c) EXPECT_EQ(view.MarkOf(1, c), HexView::Unchanged) << c;
    for (int c = 11; c <= 16; ++c) {
        EXPECT_EQ(view.MarkOf(1, c), HexView::Modified) << c;
        EXPECT_EQ(grid.EffectiveTextColour(1, c), GridRgb(255, 0, 0));
        EXPECT_EQ(grid.CellText(1, c), "FF");
    }
    for (int c = 1; c <= 4; ++c) EXPECT_EQ(view.MarkOf(2, c), HexView::Modified);
    EXPECT_EQ(view.MarkOf(2, 5), HexView::Outside);
    EXPECT_EQ(grid.EffectiveTextColour(2, 5), GridRgb(204, 204, 204));
    EXPECT_EQ(log.With("enable:"), (Events{"enable:1075|1"}));

    // Change byte 3, then put the source value back: red, then black again.
    WriteWork(3, {static_cast<uint8_t>(source[3] ^ 0x5A)});
    view.RefreshPage();
    EXPECT_EQ(view.MarkOf(1, 4), HexView::Modified);
    EXPECT_EQ(grid.EffectiveTextColour(1, 4), GridRgb(255, 0, 0));
    WriteWork(3, {source[3]});
    view.RefreshPage();
    EXPECT_EQ(view.MarkOf(1, 4), HexView::Unchanged);
    EXPECT_EQ(grid.EffectiveTextColour(1, 4), GridRgb(0, 0, 0));
}

TEST_F(HexViewTest, ColoursAreSetOnlyWhereTheMarkChanges) {
    Open(PatternBytes(40));
    // Another writer's colour on an unchanged cell survives a refresh ...
    grid.SetCellTextColour(1, 1, GridRgb(0, 128, 0));
    view.RefreshPage();
    EXPECT_EQ(grid.CellTextColour(1, 1), GridRgb(0, 128, 0));
    // ... a cell whose mark changes gets its colour.
    WriteWork(0, {0xEE});
    view.RefreshPage();
    EXPECT_EQ(grid.CellTextColour(1, 1), GridRgb(255, 0, 0));
    EXPECT_EQ(grid.CellText(1, 1), "EE");
}

TEST_F(HexViewTest, SaveIsEnabledOnlyForModifiedBytes) {
    Open(PatternBytes(100));
    EXPECT_TRUE(log.With("enable:").empty());
    WriteWork(99, {0x00, 0x01});  // one changed byte, one beyond the source
    view.RefreshPage();
    EXPECT_EQ(log.With("enable:"), (Events{"enable:1075|1"}));
    EXPECT_EQ(view.MarkOf(7, 4), HexView::Modified);
    EXPECT_EQ(view.MarkOf(7, 5), HexView::Modified);
    EXPECT_EQ(view.MarkOf(7, 6), HexView::Outside);
}

TEST_F(HexViewTest, FoundMarkIsResetByTheNextMove) {
    Open(PatternBytes(1000));
    view.MarkFound(2, 3);
    view.MarkFound(5, 16);
    EXPECT_EQ(view.MarkOf(2, 3), HexView::Found);
    EXPECT_EQ(grid.EffectiveBackColour(2, 3), GridRgb(0, 0, 255));
    EXPECT_EQ(grid.EffectiveTextColour(2, 3), GridRgb(255, 255, 255));
    ASSERT_TRUE(view.OnScroll(ScrollCode::LineDown, 0));
    for (auto [r, c] : {std::pair{2, 3}, {5, 16}}) {
        EXPECT_EQ(view.MarkOf(r, c), HexView::Unchanged);
        EXPECT_EQ(grid.CellBackColour(r, c), kGridDefaultColour);
        EXPECT_EQ(grid.EffectiveBackColour(r, c), GridRgb(255, 255, 255));
        EXPECT_EQ(grid.EffectiveTextColour(r, c), GridRgb(0, 0, 0));
    }
    view.MarkFound(0, 3);  // not a byte cell: ignored
    view.MarkFound(3, 17);
    EXPECT_EQ(grid.CellBackColour(3, 17), kGridDefaultColour);
}

TEST_F(HexViewTest, AsciiColumn) {
    std::vector<uint8_t> row = {0x20, 0x21, 0x7E, 0x7F, 0x80, 0xFF, 'A', 'z',
                                '0',  0x00, 0x0A, 0x1F, '.',  '~',  ' ', 0xA1};
    Open(row);
    EXPECT_EQ(grid.CellText(1, 17), ".!~...Az0....~..");
    EXPECT_EQ(grid.CellText(2, 17), "................");  // past the end: FF bytes
    EXPECT_EQ(HexView::AsciiOf(0x20), '.');
    EXPECT_EQ(HexView::AsciiOf(0x21), '!');
    EXPECT_EQ(HexView::AsciiOf(0x7E), '~');
    EXPECT_EQ(HexView::AsciiOf(0x7F), '.');
    EXPECT_EQ(HexView::AsciiOf(0x80), '.');
}

TEST_F(HexViewTest, AddressesOfTheTopRow) {
    struct Case {
        uint64_t offset;
        const char* text;
    };
    const Case cases[] = {{0, "00000000"},          {0x12340, "00012340"},    {0x7FFFFFF0, "7FFFFFF0"},
                          {0x80000000, "80000000"}, {0xFFFFFFF0, "FFFFFFF0"}, {0x100000000ull, "100000000"}};
    for (const Case& c : cases) {
        char out[17];
        HexView::FormatAddress(c.offset, out);
        EXPECT_STREQ(out, c.text);
    }
    FakeLength(0x2000);
    view.SetTopRow(0x1234);
    view.RefreshPage();
    EXPECT_EQ(grid.CellText(1, 0), "00012340");
    EXPECT_EQ(grid.CellText(21, 0), "00012480");
}

TEST_F(HexViewTest, ScrollRangeTable) {
    struct Case {
        uint64_t rows;
        int maximum;
        bool enabled;
    };
    const Case cases[] = {{0, 0, false},        {21, 0, false},       {22, 1, true},
                          {32788, 32767, true}, {32789, 32767, true}, {134217749, 32767, true}};
    for (const Case& c : cases) {
        FakeLength(c.rows);
        EXPECT_EQ(view.rowCount(), c.rows);
        EXPECT_EQ(scrollBar.maximum(), c.maximum) << c.rows;
        EXPECT_EQ(scrollBar.enabled(), c.enabled) << c.rows;
        EXPECT_EQ(scrollBar.position(), 0);
        image.Unload();
    }
}

TEST_F(HexViewTest, ThumbMapsOneToOneBelow32789Rows) {
    FakeLength(32788);
    for (int p : {0, 1, 16000, 32766, 32767}) {
        EXPECT_EQ(view.TopRowOfThumb(p), static_cast<uint64_t>(p));
        EXPECT_EQ(view.ScrollPositionOf(static_cast<uint32_t>(p)), p);
    }
    ASSERT_TRUE(view.OnScroll(ScrollCode::ThumbTrack, 32767));
    EXPECT_EQ(view.topRow(), 32767u);
    EXPECT_EQ(scrollBar.position(), 32767);
}

TEST_F(HexViewTest, ThumbMapsProportionallyFrom32789Rows) {
    for (uint64_t rows : {32789ull, 100000ull, 134217749ull, 0x0FFFFFFFull}) {
        FakeLength(rows);
        const uint64_t span = rows - 21;
        for (int p : {0, 1, 2, 12345, 16384, 32766, 32767}) {
            // Exact integer floor of p * span / 32767.
            EXPECT_EQ(view.TopRowOfThumb(p), static_cast<uint64_t>(p) * span / 32767) << rows << " " << p;
        }
        EXPECT_EQ(view.TopRowOfThumb(32767), span);
        EXPECT_EQ(view.ScrollPositionOf(static_cast<uint32_t>(span)), 32767);
        EXPECT_EQ(view.ScrollPositionOf(0), 0);
        EXPECT_EQ(view.ScrollPositionOf(static_cast<uint32_t>(span / 2)),
                  static_cast<int>(span / 2 * 32767 / span));
        ASSERT_TRUE(view.OnScroll(ScrollCode::ThumbTrack, 32767));
        EXPECT_EQ(view.topRow(), span) << "last thumb position shows the last page";
        EXPECT_EQ(scrollBar.position(), 32767);
        ASSERT_TRUE(view.OnScroll(ScrollCode::LineUp, 0));
        EXPECT_EQ(view.topRow(), span - 1);
        EXPECT_LE(scrollBar.position(), 32767);
        image.Unload();
    }
}

TEST_F(HexViewTest, PositionIsClampedPastTheLastFullPage) {
    FakeLength(100);
    view.SetTopRow(95);  // the editor may step beyond the last full page
    EXPECT_EQ(view.ScrollPositionOf(95), 79);
    view.RefreshPage();
    EXPECT_EQ(scrollBar.position(), 79);
}

TEST_F(HexViewTest, ScrollRefusals) {
    struct Case {
        const char* name;
        std::function<void()> set;
        std::function<void()> reset;
    };
    const std::vector<Case> cases = {
        {"ProgramBusy", [this] { state.ProgramBusy = true; }, [this] { state.ProgramBusy = false; }},
        {"VerifyBusy", [this] { state.VerifyBusy = true; }, [this] { state.VerifyBusy = false; }},
        {"nothing loaded", [this] { image.SetLoaded(false); }, [this] { image.SetLoaded(true); }},
    };
    Open(PatternBytes(2000));
    ASSERT_TRUE(view.OnScroll(ScrollCode::LineDown, 0));
    for (const Case& c : cases) {
        c.set();
        log.Clear();
        for (ScrollCode code : {ScrollCode::LineDown, ScrollCode::LineUp, ScrollCode::ThumbTrack})
            EXPECT_FALSE(view.OnScroll(code, 50)) << c.name;
        EXPECT_TRUE(view.OnWheel(-120, true)) << c.name;
        EXPECT_TRUE(view.OnWheel(120, true)) << c.name;
        EXPECT_TRUE(log.Events().empty()) << c.name;
        EXPECT_EQ(view.topRow(), 1u) << c.name;
        c.reset();
    }
    // Other busy flags do not hold the view: the work copy is free.
    state.EraseBusy = true;
    state.ReadBusy = true;
    EXPECT_TRUE(view.OnScroll(ScrollCode::LineDown, 0));
    EXPECT_EQ(view.topRow(), 2u);
}

// The wheel's angle accumulates: one row per 120 units, whatever the size of the
// messages that bring it; a turn back starts afresh.
TEST_F(HexViewTest, WheelMovesOneRowPerNotchOfAngle) {
    Open(PatternBytes(2000));  // 125 rows, the last full page at 104
    struct Step {
        int delta;
        bool forView;
        uint32_t top;
        bool refreshed;
    };
    const Step steps[] = {
        {120, true, 0, true},                               // at the top: refresh only
        {-120, true, 1, true},      {-960, true, 9, true},  // eight notches at once
        {-40, true, 9, false},      {-40, true, 9, false},
        {-40, true, 10, true},  // a touchpad, a third at a time
        {-100, true, 10, false},    {60, true, 10, false},
        {60, true, 9, true},                                  // turn back: the -100 is dropped
        {0, true, 9, false},        {-120, false, 9, false},  // not for the view
        {-60, true, 9, false},      {-60, false, 9, false},
        {-60, true, 9, false},                                // elsewhere: the rest is dropped
        {-240, true, 11, true},     {2400, true, 0, true},    // clamped at the top
        {-100000, true, 104, true}, {-120, true, 104, true},  // and at the last page
    };
    for (size_t i = 0; i < std::size(steps); ++i) {
        const Step& s = steps[i];
        log.Clear();
        EXPECT_FALSE(view.OnWheel(s.delta, s.forView)) << i;
        EXPECT_EQ(view.topRow(), s.top) << "step " << i << " delta " << s.delta;
        EXPECT_EQ(Repaints(), s.refreshed ? 1 : 0) << "step " << i;
    }
}

int FailReadsOf(const char* name, const File& file, bool write) {
    return !write && file.Path().find(name) != std::string::npos ? EIO : 0;
}

// A page that cannot be read is reported, shown grey and counts as nothing modified.
TEST_F(HexViewTest, UnreadablePageIsReportedGreyAndEnablesNothing) {
    RecordingStatusLine status(log);
    view.SetStatusLine(&status);
    struct Case {
        const char* what;
        File::FaultHook hook;
    };
    const Case cases[] = {
        {"work copy",
         [](const File& f, uint64_t, size_t, bool w) { return FailReadsOf("h_alor1.dll", f, w); }},
        {"source", [](const File& f, uint64_t, size_t, bool w) { return FailReadsOf("source.bin", f, w); }},
    };
    for (const Case& c : cases) {
        auto source = PatternBytes(1000);
        auto work = source;
        work[17] ^= 0xFF;  // one real modification on the page
        Open(source, work);
        ASSERT_EQ(view.MarkOf(2, 2), HexView::Modified) << c.what;
        commands.SetEnabled(CommandId::Save, false);
        log.Clear();
        File::SetFaultHook(c.hook);
        view.RefreshPage();
        File::SetFaultHook(nullptr);
        EXPECT_EQ(log.With("status:"), Events{"status:文件读取失败...|alert|beep"}) << c.what;
        EXPECT_TRUE(log.With("enable:").empty()) << c.what;
        EXPECT_FALSE(commands.IsEnabled(CommandId::Save)) << c.what;
        for (int r = 1; r <= 21; ++r)
            for (int col = 1; col <= 16; ++col) ASSERT_EQ(view.MarkOf(r, col), HexView::Outside) << c.what;
        EXPECT_EQ(grid.EffectiveTextColour(2, 2), GridRgb(204, 204, 204)) << c.what;

        // Readable again: the page shows its marks and news as before.
        log.Clear();
        view.RefreshPage();
        EXPECT_EQ(view.MarkOf(2, 2), HexView::Modified) << c.what;
        EXPECT_EQ(view.MarkOf(1, 1), HexView::Unchanged) << c.what;
        EXPECT_TRUE(log.With("status:").empty()) << c.what;
        image.Unload();
    }
}

TEST_F(HexViewTest, FocusFollowsItsByteAndTheEditorComesBack) {
    RecordingEditor editor(log);
    view.SetEditor(&editor);
    Open(PatternBytes(2000));
    view.SetFocusFollow(true);
    grid.SetCurrentCell(3, 5);
    log.Clear();

    ASSERT_TRUE(view.OnScroll(ScrollCode::LineDown, 0));
    EXPECT_EQ(grid.CurrentCell(), (GridCellId{2, 5}));
    EXPECT_EQ(view.editFileRow(), 2u);
    EXPECT_EQ(view.editColumn(), 5);
    EXPECT_EQ(log.With("reopen:"), (Events{"reopen:2,5|" + grid.CellText(2, 5)}));

    ASSERT_TRUE(view.OnScroll(ScrollCode::LineDown, 0));
    EXPECT_EQ(grid.CurrentCell(), (GridCellId{1, 5}));
    log.Clear();
    ASSERT_TRUE(view.OnScroll(ScrollCode::LineDown, 0));  // file row 2 leaves the page
    EXPECT_FALSE(grid.CurrentCell().IsValid());
    EXPECT_EQ(log.With("hide-editor").size(), 1u);
    EXPECT_TRUE(log.With("reopen:").empty());

    log.Clear();
    ASSERT_TRUE(view.OnScroll(ScrollCode::LineDown, 0));  // still off: nothing to do
    EXPECT_TRUE(log.With("reopen:").empty());
    EXPECT_TRUE(log.With("hide-editor").empty());

    ASSERT_TRUE(view.OnScroll(ScrollCode::LineUp, 0));
    log.Clear();
    ASSERT_TRUE(view.OnScroll(ScrollCode::LineUp, 0));  // top row 2 again: the byte returns to row 1
    EXPECT_EQ(grid.CurrentCell(), (GridCellId{1, 5}));
    EXPECT_EQ(log.With("reopen:"), (Events{"reopen:1,5|3A"}));
}

TEST_F(HexViewTest, FocusFollowWithoutPendingEditOnlyMovesTheFocus) {
    RecordingEditor editor(log);
    editor.pending = false;
    view.SetEditor(&editor);
    Open(PatternBytes(2000));
    view.SetFocusFollow(true);
    grid.SetCurrentCell(21, 16);
    log.Clear();
    ASSERT_TRUE(view.OnScroll(ScrollCode::LineUp, 0));  // top is 0: nothing moves, focus stays
    EXPECT_EQ(grid.CurrentCell(), (GridCellId{21, 16}));
    ASSERT_TRUE(view.OnScroll(ScrollCode::LineDown, 0));
    EXPECT_EQ(grid.CurrentCell(), (GridCellId{20, 16}));
    EXPECT_TRUE(log.With("reopen:").empty());
    EXPECT_TRUE(log.With("hide-editor").empty());
    // Edit mode off with a pending edit: no editor either.
    editor.pending = true;
    editor.mode = false;
    ASSERT_TRUE(view.OnScroll(ScrollCode::LineDown, 0));
    EXPECT_EQ(grid.CurrentCell(), (GridCellId{19, 16}));
    EXPECT_TRUE(log.With("reopen:").empty());
}

TEST_F(HexViewTest, WithoutFocusFollowTheFocusCellStays) {
    Open(PatternBytes(2000));
    grid.SetCurrentCell(3, 5);
    ASSERT_TRUE(view.OnScroll(ScrollCode::LineDown, 0));
    EXPECT_EQ(grid.CurrentCell(), (GridCellId{3, 5}));
    EXPECT_EQ(view.previousTopRow(), 1u);
}

}  // namespace
