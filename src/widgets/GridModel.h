#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

// Cell model of the hex view's grid control: texts, colours, fonts, geometry,
// the focus cell and the mouse/keyboard rules. No painting: the Qt GridControl
// draws what this model says and forwards presses and keys to it.
// Not thread-safe: used on the window thread only (the worker goes through WindowThread).

// Colour values hold red in the lowest byte, green in the next, blue in the third.
using GridColour = uint32_t;
inline constexpr GridColour kGridDefaultColour = 0xFF000000u;  // "use the default cell's colour"
constexpr GridColour GridRgb(unsigned r, unsigned g, unsigned b) {
    return static_cast<GridColour>((r & 0xFF) | ((g & 0xFF) << 8) | ((b & 0xFF) << 16));
}
constexpr unsigned GridRed(GridColour c) {
    return c & 0xFF;
}
constexpr unsigned GridGreen(GridColour c) {
    return (c >> 8) & 0xFF;
}
constexpr unsigned GridBlue(GridColour c) {
    return (c >> 16) & 0xFF;
}

// A cell address; (-1, -1) means "no cell".
struct GridCellId {
    int row = -1;
    int column = -1;
    bool IsValid() const { return row >= 0 && column >= 0; }
    friend bool operator==(const GridCellId&, const GridCellId&) = default;
};

// Pixel rectangle in the grid's client area; right and bottom are inclusive.
struct GridRect {
    int left = 0;
    int top = 0;
    int right = -1;
    int bottom = -1;
    friend bool operator==(const GridRect&, const GridRect&) = default;
};

// Logical font of a cell: an empty face means the platform's default face; 0 height/width means default size.
struct GridFont {
    std::string face;
    int height = 0;
    int width = 0;
    friend bool operator==(const GridFont&, const GridFont&) = default;
};

// Text-drawing flags of a cell (combinable).
namespace GridFormat {
inline constexpr uint32_t Left = 0x0;
inline constexpr uint32_t Center = 0x1;
inline constexpr uint32_t Right = 0x2;
inline constexpr uint32_t VCenter = 0x4;
inline constexpr uint32_t SingleLine = 0x20;
inline constexpr uint32_t EndEllipsis = 0x8000;
inline constexpr uint32_t Default = Center | VCenter | SingleLine;
}  // namespace GridFormat

// The four kinds of default cell a cell can take its colours and font from.
enum class GridCellKind { Normal, FixedRow, FixedColumn, FixedCorner };

// Colours and font of one default cell.
struct GridDefaultCell {
    GridColour textColour = GridRgb(0, 0, 0);
    GridColour backColour = GridRgb(255, 255, 255);
    GridFont font;
};

// One cell as stored.
struct GridCell {
    std::string text;
    GridColour textColour = kGridDefaultColour;
    GridColour backColour = kGridDefaultColour;
    GridFont font;  // empty face / 0 sizes: the default cell's
    uint32_t format = GridFormat::Default;
};

// Keys the grid navigates with.
enum class GridKey { Up, Down, Left, Right, Tab, BackTab, PageUp, PageDown, Home, End, CtrlHome, CtrlEnd };

class GridModel {
public:
    GridModel();

    // --- Size and fixed cells ---
    void SetRowCount(int rows);        // keeps existing cells' contents where they still exist
    void SetColumnCount(int columns);  // likewise
    int RowCount() const { return m_rows; }
    int ColumnCount() const { return m_columns; }
    void SetFixedRowCount(int rows);        // leading header rows
    void SetFixedColumnCount(int columns);  // leading header columns
    int FixedRowCount() const { return m_fixedRows; }
    int FixedColumnCount() const { return m_fixedColumns; }
    void SetTrailingFixedColumnCount(int count);  // columns at the right end drawn as fixed, never focused
    void SetTrailingFixedRowCount(int count);     // rows at the bottom drawn as fixed, never focused
    int TrailingFixedColumnCount() const { return m_trailingFixedColumns; }
    int TrailingFixedRowCount() const { return m_trailingFixedRows; }
    bool IsFixed(int row, int column) const;  // header or trailing fixed cell (false when out of range)
    GridCellKind KindOf(int row, int column) const;  // which default cell applies

    // --- Geometry (pixels) ---
    void SetRowHeight(int row, int height);      // ignored out of range
    void SetColumnWidth(int column, int width);  // ignored out of range
    int RowHeight(int row) const;                // -1 out of range
    int ColumnWidth(int column) const;           // -1 out of range
    // Visible client size; 0 means unlimited (every cell is in view).
    void SetViewportSize(int width, int height);
    // Cell origin and size from the row heights and column widths; false when the
    // cell does not exist or lies outside the viewport.
    bool CellRectangle(int row, int column, GridRect& rect) const;
    // Cell under a client point, or (-1, -1).
    GridCellId CellAt(int x, int y) const;
    int TotalWidth() const;   // sum of column widths
    int TotalHeight() const;  // sum of row heights

    // --- Cells ---
    bool SetCellText(int row, int column, std::string_view text);  // false when the cell does not exist
    const std::string& CellText(int row, int column) const;        // empty text out of range
    bool SetCellTextColour(int row, int column, GridColour colour);
    bool SetCellBackColour(int row, int column, GridColour colour);  // kGridDefaultColour returns to default
    GridColour CellTextColour(int row, int column) const;  // as stored (may be default); default out of range
    GridColour CellBackColour(int row, int column) const;
    GridColour EffectiveTextColour(int row, int column) const;  // default value resolved by kind
    GridColour EffectiveBackColour(int row, int column) const;
    bool SetCellFont(int row, int column, const GridFont& font);
    GridFont EffectiveFont(int row, int column) const;  // empty face / 0 sizes filled from the default cell
    bool SetCellFormat(int row, int column, uint32_t format);
    uint32_t CellFormat(int row, int column) const;   // GridFormat::Default out of range
    const GridCell* Cell(int row, int column) const;  // nullptr out of range

    // --- Grid-wide look ---
    void SetDefaultCell(GridCellKind kind, const GridDefaultCell& cell);
    const GridDefaultCell& DefaultCell(GridCellKind kind) const;
    void SetDefaultColours(GridCellKind kind, GridColour text, GridColour back);
    void SetDefaultFont(const GridFont& font);  // face/size of every default cell
    void SetGridLineColour(GridColour colour);
    GridColour GridLineColour() const { return m_gridLineColour; }
    void SetHighlightColours(GridColour text, GridColour back);
    GridColour HighlightTextColour() const { return m_highlightText; }
    GridColour HighlightBackColour() const { return m_highlightBack; }
    void SetFixedShadowColour(GridColour colour);
    GridColour FixedShadowColour() const { return m_shadowColour; }
    // Pixels a cell's text rectangle is widened by on the left and on the right.
    void SetTextWidening(int normalCells, int fixedCells);
    int TextWidening(int row, int column) const;

    // --- Focus marking ---
    // The grid has no in-place editor, range selection, hover, title tips, right-button
    // handling or resizing: only the focus cell moves.
    // When on, SetCurrentCell marks the new focus cell as focused (drawn with a frame).
    void SetFocusMarking(bool on) { m_focusMarking = on; }
    bool FocusMarking() const { return m_focusMarking; }

    // --- Focus cell ---
    // Clamps into the focusable area (unless -1), moves the focus, invalidates the
    // grid and returns the previous focus cell; (-1, -1) leaves no focus cell.
    GridCellId SetCurrentCell(int row, int column);
    GridCellId CurrentCell() const { return m_current; }
    // True for the focus cell when it got the focused mark (drawn with a frame).
    bool IsFocusMarked(int row, int column) const;

    // --- Input rules ---
    // Left press on a cell: the current cell changes nothing, any other cell is focused
    // after clearing the focus, fixed cells raised to at least (1, 1). Returns true
    // when the press hit a cell (its release then posts the click notice to the parent).
    bool PressCell(int row, int column);
    // Same at a client point; false (nothing changes) outside every cell.
    bool LeftPress(int x, int y);
    // Navigation key: moves the focus cell inside the focusable area; no focus cell
    // starts at the first focusable cell. Returns true when the focus cell changed.
    bool Navigate(GridKey key);

    // --- Repaint ---
    // Invalidates the whole grid: calls the listener and counts a revision.
    void Repaint();
    // Called on Repaint and on every focus change (the widget schedules a redraw).
    void SetRepaintListener(std::function<void()> listener) { m_listener = std::move(listener); }
    // Counts repaint requests; a widget can compare it to skip redundant redraws.
    uint64_t Revision() const { return m_revision; }

private:
    bool Exists(int row, int column) const;
    GridCell* MutableCell(int row, int column);
    void Resize(int rows, int columns);
    int FirstFocusRow() const { return m_fixedRows; }
    int LastFocusRow() const { return m_rows - m_trailingFixedRows - 1; }
    int FirstFocusColumn() const { return m_fixedColumns; }
    int LastFocusColumn() const { return m_columns - m_trailingFixedColumns - 1; }

    int m_rows = 0;
    int m_columns = 0;
    int m_fixedRows = 0;
    int m_fixedColumns = 0;
    int m_trailingFixedRows = 0;
    int m_trailingFixedColumns = 0;
    std::vector<GridCell> m_cells;  // row-major
    std::vector<int> m_rowHeights;
    std::vector<int> m_columnWidths;
    int m_viewportWidth = 0;
    int m_viewportHeight = 0;

    GridDefaultCell m_defaults[4];
    GridColour m_gridLineColour = GridRgb(192, 192, 192);
    GridColour m_highlightText = GridRgb(255, 255, 255);
    GridColour m_highlightBack = GridRgb(0, 0, 128);
    GridColour m_shadowColour = GridRgb(128, 128, 128);
    int m_wideningNormal = 0;
    int m_wideningFixed = 0;

    bool m_focusMarking = false;

    GridCellId m_current;
    bool m_currentMarked = false;

    std::function<void()> m_listener;
    uint64_t m_revision = 0;

    static const std::string s_empty;
};
