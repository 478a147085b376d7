#include "widgets/GridModel.h"

#include <gtest/gtest.h>
#include <string>
#include <vector>

namespace {

// The hex view's shape: 22 x 18, one fixed row and column, one trailing fixed column.
class GridModelTest : public ::testing::Test {
protected:
    GridModelTest() {
        grid.SetRowCount(22);
        grid.SetColumnCount(18);
        grid.SetFixedRowCount(1);
        grid.SetFixedColumnCount(1);
        grid.SetTrailingFixedColumnCount(1);
        for (int r = 0; r < 22; ++r) grid.SetRowHeight(r, 18);
        grid.SetColumnWidth(0, 80);
        for (int c = 1; c <= 16; ++c) grid.SetColumnWidth(c, 25);
        grid.SetColumnWidth(17, 132);
        grid.SetRepaintListener([this] { ++repaints; });
    }
    GridModel grid;
    int repaints = 0;
};

TEST_F(GridModelTest, SetCurrentCellClampsIntoByteCells) {
    struct Case {
        int row, column;
        GridCellId expected;
    };
    const Case cases[] = {
        {5, 17, {5, 16}}, {0, 0, {1, 1}},  {-1, -1, {-1, -1}}, {21, 16, {21, 16}}, {40, 40, {21, 16}},
        {0, 5, {1, 5}},   {-5, 3, {1, 3}}, {3, -1, {-1, -1}},  {-1, 3, {-1, -1}},  {1, 1, {1, 1}},
    };
    for (const Case& c : cases) {
        grid.SetCurrentCell(-1, -1);
        grid.SetCurrentCell(c.row, c.column);
        EXPECT_EQ(grid.CurrentCell(), c.expected) << c.row << "," << c.column;
    }
}

TEST_F(GridModelTest, SetCurrentCellReturnsPreviousAndRepaints) {
    EXPECT_EQ(grid.SetCurrentCell(3, 4), (GridCellId{-1, -1}));
    EXPECT_EQ(repaints, 1);
    EXPECT_EQ(grid.SetCurrentCell(7, 8), (GridCellId{3, 4}));
    EXPECT_EQ(repaints, 2);
    // The same cell: returned, nothing else happens.
    EXPECT_EQ(grid.SetCurrentCell(7, 8), (GridCellId{7, 8}));
    EXPECT_EQ(repaints, 2);
    EXPECT_EQ(grid.SetCurrentCell(-1, -1), (GridCellId{7, 8}));
    EXPECT_FALSE(grid.CurrentCell().IsValid());
    EXPECT_EQ(grid.Revision(), 3u);
}

TEST_F(GridModelTest, OutOfRangeCellsAnswerEmptyAndFalse) {
    EXPECT_EQ(grid.CellText(30, 3), "");
    EXPECT_EQ(grid.CellText(3, 18), "");
    EXPECT_EQ(grid.CellText(-1, 0), "");
    EXPECT_EQ(grid.ColumnWidth(18), -1);
    EXPECT_EQ(grid.ColumnWidth(-1), -1);
    EXPECT_EQ(grid.RowHeight(22), -1);
    EXPECT_FALSE(grid.SetCellText(22, 0, "x"));
    EXPECT_FALSE(grid.SetCellTextColour(0, 18, 0));
    EXPECT_FALSE(grid.SetCellBackColour(-1, 0, 0));
    EXPECT_FALSE(grid.SetCellFont(22, 0, GridFont{}));
    EXPECT_EQ(grid.Cell(22, 0), nullptr);
    GridRect rect{1, 2, 3, 4};
    EXPECT_FALSE(grid.CellRectangle(22, 0, rect));
    EXPECT_EQ(rect, (GridRect{1, 2, 3, 4}));
    EXPECT_TRUE(grid.SetCellText(21, 17, "tail"));
    EXPECT_EQ(grid.CellText(21, 17), "tail");
}

TEST_F(GridModelTest, ColoursResolveToTheDefaultCellOfTheirKind) {
    grid.SetDefaultColours(GridCellKind::Normal, GridRgb(204, 204, 204), GridRgb(255, 255, 255));
    grid.SetDefaultColours(GridCellKind::FixedRow, GridRgb(0, 0, 255), GridRgb(255, 255, 255));
    grid.SetDefaultColours(GridCellKind::FixedColumn, GridRgb(0, 0, 254), GridRgb(255, 255, 254));
    grid.SetDefaultColours(GridCellKind::FixedCorner, GridRgb(0, 0, 253), GridRgb(255, 255, 253));
    struct Case {
        int row, column;
        GridCellKind kind;
        bool fixed;
        GridColour text, back;
    };
    const Case cases[] = {
        {0, 0, GridCellKind::FixedCorner, true, GridRgb(0, 0, 253), GridRgb(255, 255, 253)},
        {0, 5, GridCellKind::FixedRow, true, GridRgb(0, 0, 255), GridRgb(255, 255, 255)},
        {5, 0, GridCellKind::FixedColumn, true, GridRgb(0, 0, 254), GridRgb(255, 255, 254)},
        {5, 17, GridCellKind::FixedColumn, true, GridRgb(0, 0, 254), GridRgb(255, 255, 254)},
        {0, 17, GridCellKind::FixedCorner, true, GridRgb(0, 0, 253), GridRgb(255, 255, 253)},
        {5, 5, GridCellKind::Normal, false, GridRgb(204, 204, 204), GridRgb(255, 255, 255)},
        {21, 16, GridCellKind::Normal, false, GridRgb(204, 204, 204), GridRgb(255, 255, 255)},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(grid.KindOf(c.row, c.column), c.kind) << c.row << "," << c.column;
        EXPECT_EQ(grid.IsFixed(c.row, c.column), c.fixed);
        EXPECT_EQ(grid.EffectiveTextColour(c.row, c.column), c.text);
        EXPECT_EQ(grid.EffectiveBackColour(c.row, c.column), c.back);
    }
    // A blue background, then the default value: white again.
    ASSERT_TRUE(grid.SetCellBackColour(4, 4, GridRgb(0, 0, 255)));
    ASSERT_TRUE(grid.SetCellTextColour(4, 4, GridRgb(255, 255, 255)));
    EXPECT_EQ(grid.EffectiveBackColour(4, 4), GridRgb(0, 0, 255));
    EXPECT_EQ(grid.EffectiveTextColour(4, 4), GridRgb(255, 255, 255));
    ASSERT_TRUE(grid.SetCellBackColour(4, 4, kGridDefaultColour));
    EXPECT_EQ(grid.CellBackColour(4, 4), kGridDefaultColour);
    EXPECT_EQ(grid.EffectiveBackColour(4, 4), GridRgb(255, 255, 255));
}

TEST_F(GridModelTest, CellRectangleFromHeightsAndWidths) {
    struct Case {
        int row, column;
        GridRect rect;
    };
    const Case cases[] = {
        {0, 0, {0, 0, 79, 17}},         {0, 1, {80, 0, 104, 17}},     {1, 1, {80, 18, 104, 35}},
        {21, 16, {455, 378, 479, 395}}, {5, 17, {480, 90, 611, 107}},
    };
    for (const Case& c : cases) {
        GridRect rect;
        ASSERT_TRUE(grid.CellRectangle(c.row, c.column, rect)) << c.row << "," << c.column;
        EXPECT_EQ(rect, c.rect) << c.row << "," << c.column;
    }
    EXPECT_EQ(grid.TotalWidth(), 612);
    EXPECT_EQ(grid.TotalHeight(), 396);
    // Out of the visible area counts as out of view.
    grid.SetViewportSize(300, 100);
    GridRect rect;
    EXPECT_TRUE(grid.CellRectangle(5, 9, rect));    // left 280
    EXPECT_FALSE(grid.CellRectangle(5, 10, rect));  // left 305
    EXPECT_FALSE(grid.CellRectangle(6, 1, rect));   // top 108
}

TEST_F(GridModelTest, CellAtFindsCellUnderPoint) {
    struct Case {
        int x, y;
        GridCellId cell;
    };
    const Case cases[] = {
        {0, 0, {0, 0}},       {79, 17, {0, 0}},    {80, 18, {1, 1}},    {104, 35, {1, 1}}, {105, 36, {2, 2}},
        {611, 395, {21, 17}}, {612, 10, {-1, -1}}, {10, 396, {-1, -1}}, {-1, 5, {-1, -1}},
    };
    for (const Case& c : cases) EXPECT_EQ(grid.CellAt(c.x, c.y), c.cell) << c.x << "," << c.y;
}

TEST_F(GridModelTest, PressRules) {
    // Header of column 5: row raised to 1.
    EXPECT_TRUE(grid.PressCell(0, 5));
    EXPECT_EQ(grid.CurrentCell(), (GridCellId{1, 5}));
    // ASCII column: column brought down to 16.
    EXPECT_TRUE(grid.PressCell(7, 17));
    EXPECT_EQ(grid.CurrentCell(), (GridCellId{7, 16}));
    // Address column and corner: column / both raised.
    EXPECT_TRUE(grid.PressCell(9, 0));
    EXPECT_EQ(grid.CurrentCell(), (GridCellId{9, 1}));
    EXPECT_TRUE(grid.PressCell(0, 0));
    EXPECT_EQ(grid.CurrentCell(), (GridCellId{1, 1}));
    // Press on the focus cell: nothing changes, the release still notifies.
    int before = repaints;
    EXPECT_TRUE(grid.PressCell(1, 1));
    EXPECT_EQ(repaints, before);
    // A press elsewhere clears first, then sets: two invalidations.
    EXPECT_TRUE(grid.PressCell(3, 3));
    EXPECT_EQ(repaints, before + 2);
    // Outside every cell: nothing.
    before = repaints;
    EXPECT_FALSE(grid.LeftPress(700, 10));
    EXPECT_FALSE(grid.PressCell(22, 1));
    EXPECT_EQ(grid.CurrentCell(), (GridCellId{3, 3}));
    EXPECT_EQ(repaints, before);
    // By pixel: (85, 40) is row 2, column 1.
    EXPECT_TRUE(grid.LeftPress(85, 40));
    EXPECT_EQ(grid.CurrentCell(), (GridCellId{2, 1}));
}

TEST_F(GridModelTest, FocusMarkTakesTheSwitchAtSetTime) {
    grid.SetFocusMarking(false);
    grid.SetCurrentCell(2, 2);
    EXPECT_FALSE(grid.IsFocusMarked(2, 2));
    // Turning the switch on does not mark the existing focus cell ...
    grid.SetFocusMarking(true);
    EXPECT_FALSE(grid.IsFocusMarked(2, 2));
    // ... clearing and setting it again does.
    grid.SetCurrentCell(-1, -1);
    grid.SetCurrentCell(2, 2);
    EXPECT_TRUE(grid.IsFocusMarked(2, 2));
    EXPECT_FALSE(grid.IsFocusMarked(2, 3));
    grid.SetCurrentCell(-1, -1);
    EXPECT_FALSE(grid.IsFocusMarked(2, 2));
}

TEST_F(GridModelTest, NavigationStaysInByteCells) {
    struct Step {
        GridKey key;
        GridCellId after;
        bool moved;
    };
    grid.SetCurrentCell(1, 1);
    const Step steps[] = {
        {GridKey::Up, {1, 1}, false},      {GridKey::Left, {1, 1}, false},
        {GridKey::Down, {2, 1}, true},     {GridKey::End, {2, 16}, true},
        {GridKey::Right, {2, 16}, false},  {GridKey::Tab, {3, 1}, true},
        {GridKey::BackTab, {2, 16}, true}, {GridKey::PageDown, {21, 16}, true},
        {GridKey::Down, {21, 16}, false},  {GridKey::Tab, {21, 16}, false},
        {GridKey::Home, {21, 1}, true},    {GridKey::PageUp, {1, 1}, true},
        {GridKey::BackTab, {1, 1}, false}, {GridKey::CtrlEnd, {21, 16}, true},
        {GridKey::CtrlHome, {1, 1}, true},
    };
    for (const Step& s : steps) {
        EXPECT_EQ(grid.Navigate(s.key), s.moved) << static_cast<int>(s.key);
        EXPECT_EQ(grid.CurrentCell(), s.after) << static_cast<int>(s.key);
    }
    grid.SetCurrentCell(-1, -1);
    EXPECT_TRUE(grid.Navigate(GridKey::Down));
    EXPECT_EQ(grid.CurrentCell(), (GridCellId{1, 1}));
}

TEST_F(GridModelTest, ResizeKeepsCellsAndDropsVanishedFocus) {
    grid.SetCellText(3, 3, "AB");
    grid.SetCellTextColour(3, 3, GridRgb(255, 0, 0));
    grid.SetCurrentCell(20, 15);
    grid.SetRowCount(30);
    EXPECT_EQ(grid.CellText(3, 3), "AB");
    EXPECT_EQ(grid.CellTextColour(3, 3), GridRgb(255, 0, 0));
    EXPECT_EQ(grid.RowHeight(29), 18);
    EXPECT_EQ(grid.CurrentCell(), (GridCellId{20, 15}));
    grid.SetRowCount(10);
    EXPECT_FALSE(grid.CurrentCell().IsValid());
    EXPECT_EQ(grid.CellText(3, 3), "AB");
    EXPECT_EQ(grid.CellText(12, 3), "");
}

TEST_F(GridModelTest, FontsFallBackToTheDefaultFace) {
    grid.SetDefaultFont(GridFont{"Sans", 12, 0});
    ASSERT_TRUE(grid.SetCellFont(5, 5, GridFont{"", 14, 7}));
    EXPECT_EQ(grid.EffectiveFont(5, 5), (GridFont{"Sans", 14, 7}));
    EXPECT_EQ(grid.EffectiveFont(0, 0), (GridFont{"Sans", 12, 0}));
    grid.SetTextWidening(4, 0);
    EXPECT_EQ(grid.TextWidening(5, 5), 4);
    EXPECT_EQ(grid.TextWidening(5, 17), 0);  // the trailing column is fixed
}

}  // namespace
