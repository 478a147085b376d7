#include "tools/FindHitView.h"

#include "hexview/HexView.h"
#include "tools/AddressJump.h"
#include "widgets/GridModel.h"

uint32_t FindHitView::TopRow() const {
    return m_view.topRow();
}

uint32_t FindHitView::ShowHit(uint32_t offset, uint32_t count) {
    m_jump.GoToAddress(offset);
    m_view.RefreshPage();
    const GridCellId focus = m_grid.CurrentCell();
    int row = focus.row;
    int column = focus.column;
    for (uint32_t i = 0; i < count && row >= 1 && row <= HexView::kPageRows; ++i) {
        m_view.MarkFound(row, column);
        if (++column > HexView::kRowBytes) {
            column = 1;
            ++row;
        }
    }
    m_grid.Repaint();
    return m_view.topRow();
}

void FindHitView::RestoreTop(uint32_t savedTop) {
    if (m_view.topRow() == savedTop) return;
    m_view.SetTopRow(savedTop);
    m_view.RefreshPage();
}
