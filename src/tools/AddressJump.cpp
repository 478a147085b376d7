#include "tools/AddressJump.h"

#include "hexview/HexView.h"
#include "image/FileImage.h"
#include "image/ImageTexts.h"
#include "operations/WorkerState.h"
#include "ports/MessageBoxes.h"
#include "ports/StatusLine.h"
#include "widgets/GridModel.h"

AddressJump::AddressJump(FileImage& image, HexView& view, GridModel& grid, StatusLine& status,
                         MessageBoxes& boxes, const WorkerState& state)
    : m_image(image), m_view(view), m_grid(grid), m_status(status), m_boxes(boxes), m_state(state) {}

bool AddressJump::GoToAddress(uint32_t address) {
    const uint32_t length = m_image.loaded() ? m_image.length() : 0;
    if (address >= length) {
        m_status.SetStatus(OutOfRangeText, true, false);
        m_boxes.Show(OutOfRangeText, "提示", MessageIcon::Exclamation);
        return false;
    }
    // The page refresh reads the work copy that program and verify are reading.
    if (m_state.WorkCopyInUse()) return false;

    constexpr uint32_t kRowBytes = HexView::kRowBytes;
    constexpr uint32_t kPageRows = HexView::kPageRows;
    if (length > static_cast<uint32_t>(HexView::kPageBytes)) {
        uint32_t top = m_view.topRow();
        const uint64_t first = static_cast<uint64_t>(top) * kRowBytes;
        if (address < first || address > first + HexView::kPageBytes - 1) top = address / kRowBytes;
        // The last page is always full.
        const uint32_t rows = RowCountOf(length);
        if (rows - top < kPageRows) top = rows - kPageRows;
        m_view.SetTopRow(top);
    }
    m_view.SetFocusFollow(true);
    m_view.RefreshPage();

    const int row = static_cast<int>(address / kRowBytes - m_view.topRow() + 1);
    const int column = static_cast<int>(address % kRowBytes + 1);
    if (m_editMode && m_openEditor && m_editMode()) m_openEditor(row, column, address / kRowBytes);
    m_grid.SetCurrentCell(row, column);
    return true;
}
