#include "widgets/GridModel.h"

#include <algorithm>

namespace {
constexpr int kDefaultRowHeight = 18;
constexpr int kDefaultColumnWidth = 25;
}  // namespace

const std::string GridModel::s_empty;

GridModel::GridModel() {
    for (auto& d : m_defaults) d = GridDefaultCell{};
}

// --- Size ---

void GridModel::Resize(int rows, int columns) {
    rows = std::max(rows, 0);
    columns = std::max(columns, 0);
    if (rows == m_rows && columns == m_columns) return;
    std::vector<GridCell> cells(static_cast<size_t>(rows) * static_cast<size_t>(columns));
    for (int r = 0; r < std::min(rows, m_rows); ++r)
        for (int c = 0; c < std::min(columns, m_columns); ++c)
            cells[static_cast<size_t>(r) * columns + c] =
                std::move(m_cells[static_cast<size_t>(r) * m_columns + c]);
    m_cells = std::move(cells);
    m_rowHeights.resize(static_cast<size_t>(rows), kDefaultRowHeight);
    m_columnWidths.resize(static_cast<size_t>(columns), kDefaultColumnWidth);
    m_rows = rows;
    m_columns = columns;
    m_fixedRows = std::min(m_fixedRows, m_rows);
    m_fixedColumns = std::min(m_fixedColumns, m_columns);
    m_trailingFixedRows = std::min(m_trailingFixedRows, m_rows - m_fixedRows);
    m_trailingFixedColumns = std::min(m_trailingFixedColumns, m_columns - m_fixedColumns);
    if (m_current.IsValid() && (m_current.row >= m_rows || m_current.column >= m_columns)) {
        m_current = GridCellId{};
        m_currentMarked = false;
    }
}

void GridModel::SetRowCount(int rows) {
    Resize(rows, m_columns);
}
void GridModel::SetColumnCount(int columns) {
    Resize(m_rows, columns);
}
void GridModel::SetFixedRowCount(int rows) {
    m_fixedRows = std::clamp(rows, 0, m_rows);
}
void GridModel::SetFixedColumnCount(int columns) {
    m_fixedColumns = std::clamp(columns, 0, m_columns);
}
void GridModel::SetTrailingFixedColumnCount(int count) {
    m_trailingFixedColumns = std::clamp(count, 0, m_columns - m_fixedColumns);
}
void GridModel::SetTrailingFixedRowCount(int count) {
    m_trailingFixedRows = std::clamp(count, 0, m_rows - m_fixedRows);
}

bool GridModel::Exists(int row, int column) const {
    return row >= 0 && row < m_rows && column >= 0 && column < m_columns;
}

bool GridModel::IsFixed(int row, int column) const {
    if (!Exists(row, column)) return false;
    return row < m_fixedRows || column < m_fixedColumns || row >= m_rows - m_trailingFixedRows ||
           column >= m_columns - m_trailingFixedColumns;
}

GridCellKind GridModel::KindOf(int row, int column) const {
    bool fixedRow = row < m_fixedRows || row >= m_rows - m_trailingFixedRows;
    bool fixedColumn = column < m_fixedColumns || column >= m_columns - m_trailingFixedColumns;
    if (fixedRow && fixedColumn) return GridCellKind::FixedCorner;
    if (fixedRow) return GridCellKind::FixedRow;
    if (fixedColumn) return GridCellKind::FixedColumn;
    return GridCellKind::Normal;
}

// --- Geometry ---

void GridModel::SetRowHeight(int row, int height) {
    if (row >= 0 && row < m_rows) m_rowHeights[static_cast<size_t>(row)] = std::max(height, 0);
}

void GridModel::SetColumnWidth(int column, int width) {
    if (column >= 0 && column < m_columns) m_columnWidths[static_cast<size_t>(column)] = std::max(width, 0);
}

int GridModel::RowHeight(int row) const {
    return row >= 0 && row < m_rows ? m_rowHeights[static_cast<size_t>(row)] : -1;
}

int GridModel::ColumnWidth(int column) const {
    return column >= 0 && column < m_columns ? m_columnWidths[static_cast<size_t>(column)] : -1;
}

void GridModel::SetViewportSize(int width, int height) {
    m_viewportWidth = std::max(width, 0);
    m_viewportHeight = std::max(height, 0);
}

bool GridModel::CellRectangle(int row, int column, GridRect& rect) const {
    if (!Exists(row, column)) return false;
    int left = 0;
    for (int c = 0; c < column; ++c) left += m_columnWidths[static_cast<size_t>(c)];
    int top = 0;
    for (int r = 0; r < row; ++r) top += m_rowHeights[static_cast<size_t>(r)];
    if ((m_viewportWidth > 0 && left >= m_viewportWidth) || (m_viewportHeight > 0 && top >= m_viewportHeight))
        return false;
    rect.left = left;
    rect.top = top;
    rect.right = left + m_columnWidths[static_cast<size_t>(column)] - 1;
    rect.bottom = top + m_rowHeights[static_cast<size_t>(row)] - 1;
    return true;
}

GridCellId GridModel::CellAt(int x, int y) const {
    if (x < 0 || y < 0) return {};
    if ((m_viewportWidth > 0 && x >= m_viewportWidth) || (m_viewportHeight > 0 && y >= m_viewportHeight))
        return {};
    int row = -1;
    for (int r = 0, top = 0; r < m_rows; ++r) {
        int h = m_rowHeights[static_cast<size_t>(r)];
        if (y < top + h) {
            row = r;
            break;
        }
        top += h;
    }
    int column = -1;
    for (int c = 0, left = 0; c < m_columns; ++c) {
        int w = m_columnWidths[static_cast<size_t>(c)];
        if (x < left + w) {
            column = c;
            break;
        }
        left += w;
    }
    if (row < 0 || column < 0) return {};
    return {row, column};
}

int GridModel::TotalWidth() const {
    int sum = 0;
    for (int w : m_columnWidths) sum += w;
    return sum;
}

int GridModel::TotalHeight() const {
    int sum = 0;
    for (int h : m_rowHeights) sum += h;
    return sum;
}

// --- Cells ---

GridCell* GridModel::MutableCell(int row, int column) {
    return Exists(row, column) ? &m_cells[static_cast<size_t>(row) * m_columns + column] : nullptr;
}

const GridCell* GridModel::Cell(int row, int column) const {
    return Exists(row, column) ? &m_cells[static_cast<size_t>(row) * m_columns + column] : nullptr;
}

bool GridModel::SetCellText(int row, int column, std::string_view text) {
    GridCell* cell = MutableCell(row, column);
    if (!cell) return false;
    // Same text: no copy, so a page refresh allocates nothing for unchanged cells.
    if (cell->text != text) cell->text.assign(text.data(), text.size());
    return true;
}

const std::string& GridModel::CellText(int row, int column) const {
    const GridCell* cell = Cell(row, column);
    return cell ? cell->text : s_empty;
}

bool GridModel::SetCellTextColour(int row, int column, GridColour colour) {
    GridCell* cell = MutableCell(row, column);
    if (!cell) return false;
    cell->textColour = colour;
    return true;
}

bool GridModel::SetCellBackColour(int row, int column, GridColour colour) {
    GridCell* cell = MutableCell(row, column);
    if (!cell) return false;
    cell->backColour = colour;
    return true;
}

GridColour GridModel::CellTextColour(int row, int column) const {
    const GridCell* cell = Cell(row, column);
    return cell ? cell->textColour : kGridDefaultColour;
}

GridColour GridModel::CellBackColour(int row, int column) const {
    const GridCell* cell = Cell(row, column);
    return cell ? cell->backColour : kGridDefaultColour;
}

GridColour GridModel::EffectiveTextColour(int row, int column) const {
    GridColour c = CellTextColour(row, column);
    return c == kGridDefaultColour ? DefaultCell(KindOf(row, column)).textColour : c;
}

GridColour GridModel::EffectiveBackColour(int row, int column) const {
    GridColour c = CellBackColour(row, column);
    return c == kGridDefaultColour ? DefaultCell(KindOf(row, column)).backColour : c;
}

bool GridModel::SetCellFont(int row, int column, const GridFont& font) {
    GridCell* cell = MutableCell(row, column);
    if (!cell) return false;
    cell->font = font;
    return true;
}

GridFont GridModel::EffectiveFont(int row, int column) const {
    GridFont font = DefaultCell(KindOf(row, column)).font;
    if (const GridCell* cell = Cell(row, column)) {
        if (!cell->font.face.empty()) font.face = cell->font.face;
        if (cell->font.height != 0) font.height = cell->font.height;
        if (cell->font.width != 0) font.width = cell->font.width;
    }
    return font;
}

bool GridModel::SetCellFormat(int row, int column, uint32_t format) {
    GridCell* cell = MutableCell(row, column);
    if (!cell) return false;
    cell->format = format;
    return true;
}

uint32_t GridModel::CellFormat(int row, int column) const {
    const GridCell* cell = Cell(row, column);
    return cell ? cell->format : GridFormat::Default;
}

// --- Look ---

void GridModel::SetDefaultCell(GridCellKind kind, const GridDefaultCell& cell) {
    m_defaults[static_cast<int>(kind)] = cell;
}

const GridDefaultCell& GridModel::DefaultCell(GridCellKind kind) const {
    return m_defaults[static_cast<int>(kind)];
}

void GridModel::SetDefaultColours(GridCellKind kind, GridColour text, GridColour back) {
    m_defaults[static_cast<int>(kind)].textColour = text;
    m_defaults[static_cast<int>(kind)].backColour = back;
}

void GridModel::SetDefaultFont(const GridFont& font) {
    for (auto& d : m_defaults) d.font = font;
}

void GridModel::SetGridLineColour(GridColour colour) {
    m_gridLineColour = colour;
}

void GridModel::SetHighlightColours(GridColour text, GridColour back) {
    m_highlightText = text;
    m_highlightBack = back;
}

void GridModel::SetFixedShadowColour(GridColour colour) {
    m_shadowColour = colour;
}

void GridModel::SetTextWidening(int normalCells, int fixedCells) {
    m_wideningNormal = normalCells;
    m_wideningFixed = fixedCells;
}

int GridModel::TextWidening(int row, int column) const {
    return IsFixed(row, column) ? m_wideningFixed : m_wideningNormal;
}

// --- Focus ---

GridCellId GridModel::SetCurrentCell(int row, int column) {
    GridCellId previous = m_current;
    if (previous.row == row && previous.column == column) return previous;
    if (row != -1) row = std::max(std::min(row, LastFocusRow()), FirstFocusRow());
    if (column != -1) column = std::max(std::min(column, LastFocusColumn()), FirstFocusColumn());
    // Half a cell is no cell; nothing focusable at all leaves no focus either.
    if (row == -1 || column == -1 || LastFocusRow() < FirstFocusRow() ||
        LastFocusColumn() < FirstFocusColumn()) {
        row = -1;
        column = -1;
    }
    m_current = GridCellId{row, column};
    m_currentMarked = m_current.IsValid() && m_focusMarking;
    Repaint();
    return previous;
}

bool GridModel::IsFocusMarked(int row, int column) const {
    return m_currentMarked && m_current.row == row && m_current.column == column;
}

// --- Input ---

bool GridModel::PressCell(int row, int column) {
    if (!Exists(row, column)) return false;
    if (m_current.row == row && m_current.column == column) return true;
    SetCurrentCell(-1, -1);
    SetCurrentCell(std::max(row, m_fixedRows), std::max(column, m_fixedColumns));
    return true;
}

bool GridModel::LeftPress(int x, int y) {
    GridCellId cell = CellAt(x, y);
    return cell.IsValid() && PressCell(cell.row, cell.column);
}

bool GridModel::Navigate(GridKey key) {
    int firstRow = FirstFocusRow(), lastRow = LastFocusRow();
    int firstColumn = FirstFocusColumn(), lastColumn = LastFocusColumn();
    if (lastRow < firstRow || lastColumn < firstColumn) return false;
    GridCellId target = m_current;
    if (!target.IsValid()) {
        target = {firstRow, firstColumn};
    } else {
        switch (key) {
            case GridKey::Up:
                target.row = std::max(target.row - 1, firstRow);
                break;
            case GridKey::Down:
                target.row = std::min(target.row + 1, lastRow);
                break;
            case GridKey::Left:
                target.column = std::max(target.column - 1, firstColumn);
                break;
            case GridKey::Right:
                target.column = std::min(target.column + 1, lastColumn);
                break;
            case GridKey::Tab:
                if (target.column < lastColumn) {
                    ++target.column;
                } else if (target.row < lastRow) {
                    ++target.row;
                    target.column = firstColumn;
                }
                break;
            case GridKey::BackTab:
                if (target.column > firstColumn) {
                    --target.column;
                } else if (target.row > firstRow) {
                    --target.row;
                    target.column = lastColumn;
                }
                break;
            // The page never scrolls inside the grid: paging keys reach the first or last row.
            case GridKey::PageUp:
                target.row = firstRow;
                break;
            case GridKey::PageDown:
                target.row = lastRow;
                break;
            case GridKey::Home:
                target.column = firstColumn;
                break;
            case GridKey::End:
                target.column = lastColumn;
                break;
            case GridKey::CtrlHome:
                target = {firstRow, firstColumn};
                break;
            case GridKey::CtrlEnd:
                target = {lastRow, lastColumn};
                break;
        }
    }
    if (target == m_current) return false;
    SetCurrentCell(target.row, target.column);
    return true;
}

// --- Repaint ---

void GridModel::Repaint() {
    ++m_revision;
    if (m_listener) m_listener();
}
