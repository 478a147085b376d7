#pragma once

// The vertical scroll bar beside the hex view (control 1002). The range minimum is
// always 0 and the page size 1; the bar stays visible and is disabled when there
// is nothing to scroll.
class ScrollBarPort {
public:
    virtual ~ScrollBarPort() = default;
    // Range 0..maximum, page size 1, position 0, redrawn.
    virtual void SetRange(int maximum, bool enabled) = 0;
    virtual void SetPosition(int position) = 0;
    // Keyboard focus to the bar, caret hidden (a handled scroll message does this).
    virtual void TakeFocus() = 0;
};
