#include "hexview/HexView.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "image/FileImage.h"
#include "image/ImageTexts.h"
#include "operations/WorkerState.h"
#include "ports/CommandIds.h"
#include "ports/StatusLine.h"
#include "ports/WindowPorts.h"

namespace {

constexpr char kHexDigits[] = "0123456789ABCDEF";

GridColour TextColourOf(int mark) {
    switch (mark) {
        case HexView::Unchanged:
            return HexView::kBlack;
        case HexView::Modified:
            return HexView::kRed;
        default:
            return HexView::kGrey;
    }
}

}  // namespace

HexView::HexView(FileImage& image, GridModel& grid, ScrollBarPort& scrollBar, CommandStates& commands,
                 const WorkerState& state)
    : m_image(image),
      m_grid(grid),
      m_scrollBar(scrollBar),
      m_commands(commands),
      m_state(state),
      m_editor(&m_noEditor) {
    m_marks.fill(Outside);
}

void HexView::SetEditor(HexViewEditor* editor) {
    m_editor = editor ? editor : &m_noEditor;
}

void HexView::FormatAddress(uint64_t offset, char* out) {
    // "%8X" with blanks as "0": at least eight digits, more only beyond 32 bits.
    char digits[16];
    int n = 0;
    do {
        digits[n++] = kHexDigits[offset & 0xF];
        offset >>= 4;
    } while (offset != 0);
    int width = n < 8 ? 8 : n;
    for (int i = 0; i < width; ++i) out[i] = i < width - n ? '0' : digits[width - 1 - i];
    out[width] = '\0';
}

void HexView::SetUpHexGrid() {
    m_marks.fill(Outside);
    GridModel& g = m_grid;
    g.SetRowCount(kGridRows);
    g.SetColumnCount(kGridColumns);
    g.SetFixedRowCount(1);
    g.SetFixedColumnCount(1);
    g.SetDefaultColours(GridCellKind::Normal, kGrey, kWhite);
    g.SetTextWidening(4, 0);
    for (GridCellKind kind : {GridCellKind::FixedRow, GridCellKind::FixedColumn, GridCellKind::FixedCorner})
        g.SetDefaultColours(kind, kBlue, kWhite);
    g.SetFixedShadowColour(kGrey);
    g.SetGridLineColour(kWhite);
    g.SetHighlightColours(kWhite, kBlack);
    g.SetTrailingFixedColumnCount(1);
    g.SetTrailingFixedRowCount(0);

    for (int r = 0; r < kGridRows; ++r) g.SetRowHeight(r, 18);
    g.SetColumnWidth(0, 80);
    for (int c = 1; c <= kRowBytes; ++c) g.SetColumnWidth(c, 25);
    g.SetColumnWidth(kAsciiColumn, 132);

    GridFont font;
    font.height = 14;
    font.width = 7;
    char address[17];
    for (int r = 0; r < kGridRows; ++r) {
        for (int c = 0; c < kGridColumns; ++c) {
            g.SetCellFont(r, c, font);
            g.SetCellFormat(r, c, GridFormat::Default);
            std::string text;
            if (r == 0) {
                if (c == 0)
                    text = "  ADDR";
                else if (c == kAsciiColumn)
                    text = "     ASCII";
                else
                    text = std::string(1, kHexDigits[c - 1]);
            } else if (c == 0) {
                FormatAddress(static_cast<uint64_t>(r - 1) * kRowBytes, address);
                text = address;
            } else if (c == kAsciiColumn) {
                text = std::string(kRowBytes, '.');
            } else {
                text = "FF";
            }
            g.SetCellText(r, c, text);
        }
    }
    g.SetCurrentCell(-1, -1);
}

void HexView::ResetScrollBar() {
    m_scrollMaximum = 0;
    m_scrollBar.SetRange(0, false);
    m_scrollBar.SetPosition(0);
}

void HexView::UpdateScrollRange() {
    m_rowCount = RowCountOf(m_image.length());
    if (m_rowCount >= kProportionalRows)
        m_scrollMaximum = kScrollMaximum;
    else if (m_rowCount > static_cast<uint32_t>(kPageRows))
        m_scrollMaximum = static_cast<int>(m_rowCount - kPageRows);
    else
        m_scrollMaximum = 0;
    m_scrollBar.SetRange(m_scrollMaximum, m_scrollMaximum > 0);
    m_scrollBar.SetPosition(0);
}

int HexView::ScrollPositionOf(uint32_t topRow) const {
    double position;
    if (m_rowCount < kProportionalRows)
        position = topRow;
    else
        position = std::floor(static_cast<double>(topRow) / static_cast<double>(m_rowCount - kPageRows) *
                              kScrollMaximum);
    // The editor may step the page past the last full page; the thumb stays at the end.
    if (position > m_scrollMaximum) position = m_scrollMaximum;
    return static_cast<int>(position);
}

uint64_t HexView::TopRowOfThumb(int position) const {
    if (position < 0) position = 0;
    if (m_rowCount < kProportionalRows) return static_cast<uint64_t>(position);
    return static_cast<uint64_t>(std::floor(static_cast<double>(position) *
                                            static_cast<double>(m_rowCount - kPageRows) / kScrollMaximum));
}

void HexView::RefreshPage() {
    m_workPage.fill(0xFF);
    m_sourcePage.fill(0x00);
    const bool loaded = m_image.loaded();
    const uint64_t base = static_cast<uint64_t>(m_topRow) * kRowBytes;
    uint64_t sourceLength = 0;
    // A page that cannot be read is not told apart from its source: no byte of it
    // counts as modified, and the user is told.
    bool unreadable = false;
    if (loaded) {
        if (m_image.ReadWork(base, m_workPage.data(), m_workPage.size()) < 0) {
            unreadable = true;
            m_workPage.fill(0xFF);
        }
        if (m_image.ReadSource(base, m_sourcePage.data(), m_sourcePage.size()) < 0) unreadable = true;
        int64_t size = m_image.SourceLength();
        sourceLength = size > 0 ? static_cast<uint64_t>(size) : 0;
        m_scrollBar.SetPosition(ScrollPositionOf(m_topRow));
    }
    const uint64_t length = m_image.length();

    char text[17];
    for (int m = 1; m <= kPageRows; ++m) {
        FormatAddress(base + static_cast<uint64_t>(m - 1) * kRowBytes, text);
        m_grid.SetCellText(m, 0, text);
    }

    bool modified = false;
    for (int m = 1; m <= kPageRows; ++m) {
        for (int c = 1; c <= kRowBytes; ++c) {
            const int index = (m - 1) * kRowBytes + (c - 1);
            const uint64_t offset = base + static_cast<uint64_t>(index);
            const uint8_t w = m_workPage[index];
            const uint8_t s = m_sourcePage[index];
            uint16_t category;
            if (!loaded || unreadable)
                category = Outside;
            else if (w == s && offset < sourceLength)
                category = Unchanged;
            else if (offset >= length)
                category = Outside;
            else
                category = Modified;
            uint16_t& mark = m_marks[index];
            if (category != mark) {
                if (mark == Found) m_grid.SetCellBackColour(m, c, kGridDefaultColour);
                m_grid.SetCellTextColour(m, c, TextColourOf(category));
                mark = category;
                if (category == Modified) modified = true;
            }
            text[0] = kHexDigits[w >> 4];
            text[1] = kHexDigits[w & 0xF];
            m_grid.SetCellText(m, c, std::string_view(text, 2));
        }
    }
    if (modified) m_commands.SetEnabled(CommandId::Save, true);

    for (int m = 1; m <= kPageRows; ++m) {
        for (int c = 0; c < kRowBytes; ++c) text[c] = AsciiOf(m_workPage[(m - 1) * kRowBytes + c]);
        m_grid.SetCellText(m, kAsciiColumn, std::string_view(text, kRowBytes));
    }

    m_grid.Repaint();
    if (unreadable && m_status != nullptr) m_status->SetStatus(kReadFailedText, true, true);
    if (m_focusFollow) FollowFocus();
    m_previousTopRow = m_topRow;
}

void HexView::FollowFocus() {
    const GridCellId current = m_grid.CurrentCell();
    const bool editing = m_editor->EditPending() && m_editor->EditMode();
    if (current.IsValid()) {
        const int64_t fileRow = static_cast<int64_t>(m_previousTopRow) + current.row - 1;
        m_editFileRow = static_cast<uint32_t>(fileRow);
        m_editColumn = current.column;
        int64_t row = fileRow - static_cast<int64_t>(m_topRow) + 1;
        int column = current.column;
        if (row < 1 || row > kPageRows) {
            row = -1;
            column = -1;
        }
        m_grid.SetCurrentCell(static_cast<int>(row), column);
        if (editing) {
            if (row != -1)
                m_editor->ReopenEditor(static_cast<int>(row), column,
                                       m_grid.CellText(static_cast<int>(row), column));
            else
                m_editor->HideEditor();
        }
        return;
    }
    if (m_editColumn < 1) return;  // no byte was ever focused
    const uint64_t fileRow = m_editFileRow;
    if (fileRow >= m_topRow && fileRow < static_cast<uint64_t>(m_topRow) + kPageRows) {
        const int row = static_cast<int>(fileRow - m_topRow) + 1;
        m_grid.SetCurrentCell(row, m_editColumn);
        if (editing) m_editor->ReopenEditor(row, m_editColumn, m_editor->OpeningText());
    }
}

bool HexView::CanPage() const {
    return !m_state.WorkCopyInUse() && m_image.loaded() && m_rowCount > static_cast<uint32_t>(kPageRows);
}

bool HexView::OnScroll(ScrollCode code, int thumbPosition) {
    if (!CanPage()) return false;
    m_scrollBar.TakeFocus();
    switch (code) {
        case ScrollCode::LineUp:
        case ScrollCode::PageUp:
            if (m_topRow >= 1) --m_topRow;
            break;
        case ScrollCode::LineDown:
        case ScrollCode::PageDown:
            if (static_cast<uint64_t>(m_topRow) + kPageRows < m_rowCount) ++m_topRow;
            break;
        case ScrollCode::ThumbTrack: {
            const uint64_t top = TopRowOfThumb(thumbPosition);
            if (top + kPageRows <= m_rowCount) m_topRow = static_cast<uint32_t>(top);
            break;
        }
        default:
            return true;
    }
    RefreshPage();
    return true;
}

bool HexView::OnWheel(int delta, bool forView) {
    if (!CanPage()) {
        m_wheelAngle = 0;
        return true;
    }
    if (!forView || m_image.length() <= static_cast<uint32_t>(kPageBytes)) {
        m_wheelAngle = 0;
        return false;
    }
    // Turning back starts afresh, so a reversal answers at once.
    if ((delta > 0 && m_wheelAngle < 0) || (delta < 0 && m_wheelAngle > 0)) m_wheelAngle = 0;
    m_wheelAngle += delta;
    const int64_t rows = m_wheelAngle / kWheelStep;
    m_wheelAngle -= rows * kWheelStep;
    if (rows == 0) return false;
    if (rows > 0) {
        m_topRow -= static_cast<uint32_t>(std::min<int64_t>(rows, m_topRow));
    } else {
        const uint64_t lastTop = m_rowCount - kPageRows;
        if (m_topRow < lastTop)
            m_topRow = static_cast<uint32_t>(std::min<uint64_t>(m_topRow - rows, lastTop));
    }
    RefreshPage();
    return false;
}

HexView::Mark HexView::MarkOf(int row, int column) const {
    if (row < 1 || row > kPageRows || column < 1 || column > kRowBytes) return Outside;
    return static_cast<Mark>(m_marks[(row - 1) * kRowBytes + (column - 1)]);
}

void HexView::MarkFound(int row, int column) {
    if (row < 1 || row > kPageRows || column < 1 || column > kRowBytes) return;
    m_marks[(row - 1) * kRowBytes + (column - 1)] = Found;
    m_grid.SetCellTextColour(row, column, kWhite);
    m_grid.SetCellBackColour(row, column, kBlue);
}
