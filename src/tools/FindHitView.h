#pragma once

#include <cstdint>

class AddressJump;
class GridModel;
class HexView;

// What the find does to the view, always on the window thread: shows a hit
// highlighted white on blue, and puts the page back where the last hit left it.
class FindHitView {
public:
    FindHitView(AddressJump& jump, HexView& view, GridModel& grid)
        : m_jump(jump), m_view(view), m_grid(grid) {}

    uint32_t TopRow() const;
    // Moves to the hit at `offset`, refreshes the page and highlights its `count`
    // cells from the focus cell on, as far as the page reaches. Gives the top row.
    uint32_t ShowHit(uint32_t offset, uint32_t count);
    // The end of a search: the top row goes back to `savedTop`; when that moves
    // the page (the user paged meanwhile) the page is shown again, so what is on
    // the screen is always the top row's page.
    void RestoreTop(uint32_t savedTop);

private:
    AddressJump& m_jump;
    HexView& m_view;
    GridModel& m_grid;
};
