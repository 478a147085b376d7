#include "hexview/CellEditor.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <string>
#include <vector>

#include "ports/CommandIds.h"
#include "support/FakeCellEditorControl.h"
#include "support/ImageViewHarness.h"

namespace {

using Events = std::vector<std::string>;

enum class Half { Left, Right };

// 64 bytes: offset i holds i + 0x10, except offset 5, which holds 0x3A.
std::vector<uint8_t> Sample(size_t size = 64) {
    std::vector<uint8_t> bytes(size);
    for (size_t i = 0; i < size; ++i) bytes[i] = static_cast<uint8_t>(i + 0x10);
    if (size > 5) bytes[5] = 0x3A;
    return bytes;
}

class CellEditorTest : public ::testing::Test, protected ImageViewHarness {
protected:
    CellEditorTest()
        : control(log, {10, 20}), editor(image, view, grid, status, boxes, commands, texts, state) {
        view.SetEditor(&editor);
        editor.SetControl(&control);
        grid.SetFocusMarking(true);
        commands.SetEnabled(CommandId::Save, false);
        commands.SetEnabled(CommandId::Fill, false);
        log.Clear();
    }

    void Open(const std::vector<uint8_t>& bytes) { ASSERT_TRUE(ImageViewHarness::Open(bytes)); }

    void EditMode() {
        if (!editor.editMode()) editor.ToggleEditMode();
        ASSERT_TRUE(editor.editMode());
        log.Clear();
    }

    // A left click as the grid delivers it: the press moves the focus, the release notifies.
    void Click(int row, int column, Half half) {
        GridRect cell;
        ASSERT_TRUE(grid.CellRectangle(row, column, cell));
        const int x = cell.left + (half == Half::Left ? 4 : 20);
        const int y = cell.top + 9;
        grid.LeftPress(x, y);
        editor.OnGridClick(x, y);
    }

    void Type(char c) {
        if (control.Type(c)) editor.OnCellEditorChange();
    }
    void Type(const std::string& keys) {
        for (char c : keys) Type(c);
    }

    std::vector<uint8_t> Work() const { return ReadBytes(dir.file("h_alor1.dll")); }
    std::string LastStatus() const {
        const Events s = log.With("status:");
        return s.empty() ? std::string() : s.back();
    }
    bool Has(const std::string& event) const {
        const Events e = log.Events();
        return std::find(e.begin(), e.end(), event) != e.end();
    }

    FakeCellEditorControl control;
    CellEditor editor;
};

TEST_F(CellEditorTest, RightHalfOf3ATypingCWritesAndMovesOn) {
    const std::vector<uint8_t> bytes = Sample();
    Open(bytes);
    EditMode();
    Click(1, 6, Half::Right);
    // Cell (1, 6) lies at x 80 + 5 * 25, y 18 of the grid, the grid at (10, 20).
    EXPECT_EQ(log.Events(), (Events{"status:输入...", "editor-show:218,41,20,14", "editor-text:3A",
                                    "editor-select:1,2", "editor-colour:0x000000", "editor-focus"}));
    log.Clear();

    Type('c');
    std::vector<uint8_t> expected = bytes;
    expected[5] = 0x3C;
    EXPECT_EQ(Work(), expected);
    EXPECT_EQ(view.MarkOf(1, 6), HexView::Modified);
    EXPECT_EQ(grid.EffectiveTextColour(1, 6), GridRgb(255, 0, 0));
    EXPECT_EQ(grid.CurrentCell(), (GridCellId{1, 7}));
    EXPECT_TRUE(editor.editorOpen());
    EXPECT_EQ(control.text, "16");
    EXPECT_EQ(control.Selection(), kHighDigit);
    EXPECT_EQ(LastStatus(), "status:输入...");
    EXPECT_TRUE(Has("status:数据已被更改"));
    EXPECT_TRUE(Has("enable:1075|1"));
    EXPECT_EQ(texts.Text(CommandId::ChecksumLabel), ChecksumText(ByteSum(bytes.data(), 64) + 0x3C - 0x3A));
    EXPECT_EQ(image.checksum(), ByteSum(expected.data(), 64));
    EXPECT_EQ(image.length(), 64u);
}

TEST_F(CellEditorTest, LeftHalfTyping7ThenCWritesEachDigitAtOnce) {
    std::vector<uint8_t> bytes = Sample();
    Open(bytes);
    EditMode();
    Click(1, 6, Half::Left);
    EXPECT_EQ(control.Selection(), kHighDigit);

    Type('7');
    bytes[5] = 0x7A;
    EXPECT_EQ(Work(), bytes);
    EXPECT_EQ(grid.CurrentCell(), (GridCellId{1, 6}));
    EXPECT_EQ(control.text, "7A");
    EXPECT_EQ(control.Selection(), kLowDigit);
    EXPECT_EQ(control.colour, GridRgb(255, 0, 0));  // the editor's text follows its cell's mark

    Type('C');
    bytes[5] = 0x7C;
    EXPECT_EQ(Work(), bytes);
    EXPECT_EQ(grid.CurrentCell(), (GridCellId{1, 7}));
    EXPECT_EQ(control.Selection(), kHighDigit);
    EXPECT_EQ(control.colour, GridRgb(0, 0, 0));
}

// The digit follows the pointer: up to half the column width (12 of 25) from the
// cell's left edge the high digit, beyond it the low one.
TEST_F(CellEditorTest, PointerPositionChoosesTheDigit) {
    Open(Sample());
    EditMode();
    GridRect cell;
    ASSERT_TRUE(grid.CellRectangle(2, 3, cell));
    const struct {
        int dx;
        EditorSelection digit;
    } rows[] = {{0, kHighDigit}, {12, kHighDigit}, {13, kLowDigit}, {24, kLowDigit}};
    for (const auto& row : rows) {
        grid.LeftPress(cell.left + row.dx, cell.top + 1);
        editor.OnGridClick(cell.left + row.dx, cell.top + 1);
        EXPECT_EQ(control.Selection(), row.digit) << row.dx;
        EXPECT_EQ(editor.editorSelection(), row.digit) << row.dx;
    }
}

TEST_F(CellEditorTest, TypingOverTheLastByteOfRow21ScrollsOneRow) {
    std::vector<uint8_t> bytes = Sample(1024);
    Open(bytes);
    EditMode();
    Click(21, 16, Half::Right);
    Type('0');
    bytes[20 * 16 + 15] = static_cast<uint8_t>((bytes[335] & 0xF0) | 0x0);
    EXPECT_EQ(Work(), bytes);
    EXPECT_EQ(view.topRow(), 1u);
    EXPECT_EQ(scrollBar.position(), 1);
    EXPECT_EQ(grid.CurrentCell(), (GridCellId{21, 1}));
    EXPECT_EQ(grid.CellText(21, 0), "00000150");
    EXPECT_EQ(control.text, grid.CellText(21, 1));
    EXPECT_EQ(control.Selection(), kHighDigit);
    EXPECT_EQ(view.editFileRow(), 21u);
    // The next digit lands on offset 0x150.
    Type('F');
    EXPECT_EQ(Work()[0x150], static_cast<uint8_t>(0xF0 | (bytes[0x150] & 0x0F)));
}

TEST_F(CellEditorTest, GreyCellPastTheEndGrowsTheImageWithFF) {
    const std::vector<uint8_t> bytes = Sample(20);
    Open(bytes);
    EditMode();
    Click(3, 9, Half::Left);  // offset 40
    EXPECT_EQ(control.colour, GridRgb(204, 204, 204));
    Type('5');
    const std::vector<uint8_t> work = Work();
    ASSERT_EQ(work.size(), 41u);
    EXPECT_TRUE(std::equal(bytes.begin(), bytes.end(), work.begin()));
    EXPECT_TRUE(std::all_of(work.begin() + 20, work.begin() + 40, [](uint8_t b) { return b == 0xFF; }));
    EXPECT_EQ(work[40], 0x5F);
    EXPECT_EQ(image.length(), 41u);
    EXPECT_EQ(image.checksum(), ByteSum(bytes.data(), 20) + 20 * 0xFF + 0x5F);
    EXPECT_EQ(texts.Text(CommandId::SizeLabel), SizeText(41));
    EXPECT_EQ(texts.Text(CommandId::ChecksumLabel), ChecksumText(image.checksum()));
    // Past the source's end every written byte is modified, 0xFF or not.
    for (int c = 5; c <= 16; ++c) EXPECT_EQ(view.MarkOf(2, c), HexView::Modified) << c;
    EXPECT_EQ(view.MarkOf(3, 9), HexView::Modified);
    EXPECT_EQ(view.MarkOf(3, 10), HexView::Outside);
    EXPECT_EQ(view.rowCount(), 3u);
}

// A wrong character or an emptied editor: a box, the previous digits back, nothing written.
TEST_F(CellEditorTest, RefusedInputPutsThePreviousDigitsBack) {
    struct Row {
        const char* name;
        bool (*act)(FakeCellEditorControl&);
        Events events;
        EditorSelection selection;
    };
    const Row rows[] = {
        {"G",
         [](FakeCellEditorControl& c) { return c.Type('G'); },
         {"box:提示|exclamation|请输入0~F之间的16进制字符！   ", "editor-text:3A", "editor-select:1,2"},
         kLowDigit},
        {"emptied",
         [](FakeCellEditorControl& c) { return c.Clear(); },
         {"status:输入错误|alert", "box:警告|exclamation|输入不能为空！", "editor-text:3A",
          "editor-select:0,2"},
         kBothDigits},
    };
    for (const Row& row : rows) {
        Open(Sample());
        EditMode();
        Click(1, 6, Half::Right);
        log.Clear();
        ASSERT_TRUE(row.act(control));
        editor.OnCellEditorChange();
        EXPECT_EQ(log.Events(), row.events) << row.name;
        EXPECT_EQ(control.text, "3A") << row.name;
        EXPECT_EQ(control.Selection(), row.selection) << row.name;
        EXPECT_EQ(Work(), Sample()) << row.name;
        EXPECT_TRUE(editor.editorOpen()) << row.name;
    }
}

// After an accepted high digit a wrong low digit brings back the accepted text.
TEST_F(CellEditorTest, WrongLowDigitRestoresTheAcceptedHighDigit) {
    Open(Sample());
    EditMode();
    Click(1, 6, Half::Left);
    Type('7');
    Type('x');
    EXPECT_EQ(control.text, "7A");
    EXPECT_EQ(control.Selection(), kLowDigit);
    EXPECT_EQ(Work()[5], 0x7A);
}

TEST_F(CellEditorTest, BackspaceLeavingOneDigitCommits0X) {
    Open(Sample());
    EditMode();
    Click(1, 6, Half::Right);
    ASSERT_TRUE(control.Backspace());
    editor.OnCellEditorChange();
    EXPECT_EQ(Work()[5], 0x03);
    EXPECT_EQ(control.text, "03");
    EXPECT_EQ(control.Selection(), kLowDigit);
    EXPECT_EQ(grid.CurrentCell(), (GridCellId{1, 6}));
}

// Delete of the high digit leaves the caret at 0: nothing is taken as typed.
TEST_F(CellEditorTest, DeletingInFrontOfTheDigitsWritesNothing) {
    Open(Sample());
    EditMode();
    Click(1, 6, Half::Left);
    log.Clear();
    ASSERT_TRUE(control.Delete());
    editor.OnCellEditorChange();
    EXPECT_TRUE(log.Events().empty());
    EXPECT_EQ(Work(), Sample());
    EXPECT_EQ(control.text, "A");
}

TEST_F(CellEditorTest, SameDigitWritesNothingAndMovesOn) {
    Open(Sample());
    EditMode();
    Click(1, 6, Half::Right);
    log.Clear();
    Type('A');
    EXPECT_EQ(Work(), Sample());
    const Events statuses = log.With("status:");
    EXPECT_EQ(statuses, (Events{"status:数据未更改", "status:输入..."}));
    EXPECT_TRUE(log.With("text:").empty());
    EXPECT_EQ(grid.CurrentCell(), (GridCellId{1, 7}));
    EXPECT_EQ(view.MarkOf(1, 6), HexView::Unchanged);
}

// Switching to view mode commits a pending edit inside the image, never one past its end.
TEST_F(CellEditorTest, ViewModeCommitsInsideButNotPastTheEnd) {
    const struct {
        int row, column;
        bool written;
    } rows[] = {{1, 6, true}, {2, 9, false}};
    for (const auto& row : rows) {
        const std::vector<uint8_t> bytes = Sample(20);
        Open(bytes);
        EditMode();
        Click(row.row, row.column, Half::Left);
        ASSERT_TRUE(control.Delete());  // "A" or "F" left, not yet committed
        editor.OnCellEditorChange();
        editor.ToggleEditMode();
        EXPECT_FALSE(editor.editMode());
        EXPECT_FALSE(editor.editorOpen());
        EXPECT_FALSE(control.visible);
        EXPECT_EQ(LastStatus(), "status:您已选择查看模式，不能对数据进行修改。");
        std::vector<uint8_t> expected = bytes;
        if (row.written) expected[5] = 0x0A;
        EXPECT_EQ(Work(), expected) << row.row;
        EXPECT_EQ(image.length(), 20u);
        // Typing afterwards reaches nothing.
        control.text = "1";
        control.caret = control.anchor = 1;
        editor.OnCellEditorChange();
        editor.CommitCellEdit();
        EXPECT_EQ(Work(), expected) << row.row;
        image.Unload();
    }
}

// Enter, Save or a switch commits an editor past the end only when its text was
// changed there; an untouched grey cell adds no byte.
TEST_F(CellEditorTest, UntouchedEditorPastTheEndCommitsNothing) {
    struct Row {
        const char* name;
        size_t size;      // bytes of the file opened
        int row, column;  // cell clicked
        const char* typed;
        const char* editorText;  // set without a keystroke before the commit; null: left as it is
        std::vector<uint8_t> expected;
    };
    std::vector<uint8_t> grown = Sample(20);
    grown.resize(41, 0xFF);
    grown[40] = 0x0C;
    const Row rows[] = {
        {"empty file, AB typed at 0, editor moved on to 1", 0, 1, 1, "AB", nullptr, {0xAB}},
        {"grey cell clicked, nothing typed", 20, 3, 9, "", nullptr, Sample(20)},
        {"grey cell with a digit put in front", 20, 3, 9, "", "C", grown},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        Open(Sample(row.size));
        EditMode();
        Click(row.row, row.column, Half::Left);
        Type(row.typed);
        ASSERT_TRUE(editor.editorOpen());
        if (row.editorText != nullptr) control.text = row.editorText;
        editor.CommitCellEdit();
        EXPECT_EQ(Work(), row.expected);
        EXPECT_EQ(image.length(), row.expected.size());
        image.Unload();
    }
}

TEST_F(CellEditorTest, EnterBeforeAnyClickWritesNothing) {
    Open(Sample());
    EditMode();
    editor.CommitCellEdit();
    EXPECT_TRUE(log.Events().empty());
    EXPECT_EQ(Work(), Sample());
}

TEST_F(CellEditorTest, EnterCommitsTheEditorsText) {
    Open(Sample());
    EditMode();
    Click(2, 2, Half::Left);
    control.text = "C";  // the high digit deleted, a new one typed in front: caret at 0
    editor.CommitCellEdit();
    EXPECT_EQ(Work()[17], 0x0C);
    EXPECT_FALSE(editor.editorOpen());
    EXPECT_EQ(LastStatus(), "status:数据已被更改");
}

// The grid's arrow keys move its focus cell but not the editor: Enter, or a digit
// typed into the editor, still goes to the byte the editor stands on.
TEST_F(CellEditorTest, ArrowKeysMovingTheFocusNeverRedirectTheEditorsText) {
    const struct {
        const char* name;
        bool enter;  // else the second digit
        uint8_t edited;
    } rows[] = {{"Enter", true, 0x7A}, {"second digit", false, 0x7C}};
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        Open(Sample());
        EditMode();
        Click(1, 6, Half::Left);
        Type('7');
        ASSERT_TRUE(grid.Navigate(GridKey::Down));
        ASSERT_TRUE(grid.Navigate(GridKey::Right));
        ASSERT_EQ(grid.CurrentCell(), (GridCellId{2, 7}));
        if (row.enter)
            editor.CommitCellEdit();
        else
            Type('C');
        std::vector<uint8_t> expected = Sample();
        expected[5] = row.edited;
        EXPECT_EQ(Work(), expected);
    }
}

// While program or verify read the work copy, clicks, keystrokes and commits are ignored.
TEST_F(CellEditorTest, BusyWorkCopyIgnoresClicksKeysAndCommits) {
    for (std::atomic<bool> WorkerState::*flag : {&WorkerState::ProgramBusy, &WorkerState::VerifyBusy}) {
        Open(Sample());
        EditMode();
        state.*flag = true;
        view.SetFocusFollow(false);
        Click(1, 6, Half::Right);
        EXPECT_TRUE(log.Events().empty());  // no editor opened
        EXPECT_TRUE(view.focusFollow());    // the click still sets the focus follow

        state.*flag = false;
        Click(1, 6, Half::Right);
        state.*flag = true;
        log.Clear();
        ASSERT_TRUE(control.Type('C'));
        editor.OnCellEditorChange();
        EXPECT_EQ(control.text, "3A");  // the keystroke is taken back
        EXPECT_EQ(control.Selection(), kLowDigit);
        editor.CommitCellEdit();
        EXPECT_EQ(Work(), Sample());
        EXPECT_TRUE(log.With("status:").empty());
        state.*flag = false;
        editor.ToggleEditMode();
        image.Unload();
    }
}

// The check box and the menu entry always show the flag; the box never beeps.
TEST_F(CellEditorTest, CheckMarksFollowTheFlag) {
    editor.ToggleEditMode();
    editor.OnEditModeMenu();
    EXPECT_EQ(log.Events(), (Events{"status:文件尚未打开，无法进行模式转换操作！|alert",
                                    "status:文件尚未打开，无法进行模式转换操作！|alert|beep"}));
    EXPECT_FALSE(editor.editMode());
    Open(Sample());
    const struct {
        void (CellEditor::*toggle)();
        bool programBusy;
        bool editMode;
    } steps[] = {{&CellEditor::ToggleEditMode, false, true}, {&CellEditor::OnEditModeMenu, false, false},
                 {&CellEditor::OnEditModeMenu, false, true}, {&CellEditor::ToggleEditMode, true, true},
                 {&CellEditor::OnEditModeMenu, true, true},  {&CellEditor::ToggleEditMode, false, false}};
    for (const auto& step : steps) {
        state.ProgramBusy = step.programBusy;
        (editor.*step.toggle)();
        EXPECT_EQ(editor.editMode(), step.editMode);
        EXPECT_EQ(commands.IsChecked(CommandId::EditModeCheck), step.editMode);
        EXPECT_EQ(commands.IsChecked(CommandId::EditModeMenu), step.editMode);
        EXPECT_EQ(commands.IsEnabled(CommandId::Fill), step.editMode);
        EXPECT_EQ(grid.FocusMarking(), !step.editMode);
    }
    state.ProgramBusy = false;
    // Verify alone does not hold the switch.
    state.VerifyBusy = true;
    editor.ToggleEditMode();
    EXPECT_TRUE(editor.editMode());
    EXPECT_EQ(LastStatus(), "status:您已选择编辑模式，可对数据进行修改。");
}

// Edit mode switched on over a focused cell opens the editor there on the high digit.
TEST_F(CellEditorTest, EditModeOpensTheEditorOnTheFocusCell) {
    Open(Sample());
    grid.SetCurrentCell(1, 6);
    editor.ToggleEditMode();
    EXPECT_TRUE(editor.editorOpen());
    EXPECT_EQ(control.text, "3A");
    EXPECT_EQ(control.Selection(), kHighDigit);
    EXPECT_FALSE(grid.IsFocusMarked(1, 6));
    EXPECT_EQ(LastStatus(), "status:您已选择编辑模式，可对数据进行修改。");
}

TEST_F(CellEditorTest, ClicksOutsideTheByteCellsOpenNothing) {
    Open(Sample());
    EditMode();
    for (GridCellId cell : {GridCellId{0, 5}, GridCellId{4, 0}, GridCellId{4, 17}}) {
        GridRect rect;
        ASSERT_TRUE(grid.CellRectangle(cell.row, cell.column, rect));
        grid.LeftPress(rect.left + 2, rect.top + 2);
        editor.OnGridClick(rect.left + 2, rect.top + 2);
        EXPECT_FALSE(editor.editorOpen()) << cell.row << "," << cell.column;
    }
    // In view mode a click only sets the focus follow.
    editor.ToggleEditMode();
    Click(3, 3, Half::Left);
    EXPECT_FALSE(editor.editorOpen());
    EXPECT_TRUE(view.focusFollow());
}

// The page moving under a pending edit hides the editor and brings it back with its byte.
TEST_F(CellEditorTest, EditorFollowsItsByteAcrossScrolling) {
    Open(Sample(1024));
    EditMode();
    Click(1, 5, Half::Right);
    log.Clear();
    view.OnScroll(ScrollCode::LineDown, 0);
    EXPECT_FALSE(control.visible);
    EXPECT_TRUE(editor.editorOpen());
    EXPECT_TRUE(Has("grid-focus"));
    view.OnScroll(ScrollCode::LineUp, 0);
    EXPECT_TRUE(control.visible);
    EXPECT_EQ(grid.CurrentCell(), (GridCellId{1, 5}));
    EXPECT_EQ(control.Selection(), kLowDigit);
    Type('9');
    EXPECT_EQ(Work()[4], static_cast<uint8_t>((Sample()[4] & 0xF0) | 0x9));
}

// The goto's way in: target a cell, open with both digits selected; one digit is 0X.
TEST_F(CellEditorTest, OpenedWithBothDigitsTheNextDigitReplacesTheByte) {
    Open(Sample(1024));
    EditMode();
    Click(1, 1, Half::Left);
    view.SetTopRow(10);
    view.RefreshPage();
    grid.SetCurrentCell(3, 4);
    editor.TargetCell(3, 4, 12);
    editor.OpenCellEditor(3, 4, grid.CellText(3, 4), kBothDigits);
    Type('5');
    EXPECT_EQ(Work()[12 * 16 + 3], 0x05);
    EXPECT_EQ(Work()[0], Sample()[0]);
}

// A write that fails (disk full) is said aloud and changes nothing else.
TEST_F(CellEditorTest, FailedWriteChangesNothing) {
    Open(Sample(20));
    EditMode();
    Click(3, 9, Half::Left);  // offset 40: a gap and a byte to write
    log.Clear();
    File::SetFaultHook([](const File&, uint64_t, size_t, bool write) { return write ? ENOSPC : 0; });
    Type('5');
    File::SetFaultHook(nullptr);
    EXPECT_EQ(log.With("status:"), Events{"status:数据写入失败...|alert|beep"});
    EXPECT_TRUE(log.With("text:").empty());
    EXPECT_TRUE(log.With("enable:").empty());
    EXPECT_EQ(Work(), Sample(20));
    EXPECT_EQ(image.length(), 20u);
    EXPECT_EQ(image.checksum(), ByteSum(Sample(20).data(), 20));
    EXPECT_TRUE(editor.editorOpen());
    EXPECT_EQ(control.text, "FF");
    EXPECT_EQ(grid.CurrentCell(), (GridCellId{3, 9}));
}

// The byte at 0xFFFFFFFF would make the image 4 GiB long: refused.
TEST_F(CellEditorTest, NoByteBeyondFourGiBMinusOne) {
    Open(Sample(16));
    ASSERT_TRUE(image.workCopy().Truncate(0xFFFFFFF0u));  // sparse
    image.SetLength(0xFFFFFFF0u);
    view.UpdateScrollRange();
    view.SetTopRow(view.rowCount() - 20);  // the last row at grid row 20, a grey row below
    view.RefreshPage();
    EditMode();
    Click(20, 16, Half::Right);  // offset 0xFFFFFFEF, the last byte
    Type('1');
    EXPECT_EQ(image.length(), 0xFFFFFFF0u);
    Click(21, 15, Half::Left);  // offset 0xFFFFFFFE: the image becomes 4 GiB - 1 long
    Type('A');
    EXPECT_EQ(image.length(), 0xFFFFFFFFu);
    log.Clear();
    Type('B');  // low digit of 0xFFFFFFFE, then the step to 0xFFFFFFFF
    Type('C');
    EXPECT_EQ(log.With("status:").back(), "status:文件长度已达上限，无法写入...|alert|beep");
    EXPECT_EQ(image.length(), 0xFFFFFFFFu);
    EXPECT_EQ(image.workCopy().Size(), 0xFFFFFFFF);
}

}  // namespace
