#pragma once

#include <string>

// What the page refresh needs of the cell editor: when the page moves under a
// pending edit, the editor follows its byte, hides while the byte is off the page
// and comes back with it.
class HexViewEditor {
public:
    virtual ~HexViewEditor() = default;
    // A cell edit is pending (the editor was opened for input and not closed).
    virtual bool EditPending() const = 0;
    // Edit mode is on.
    virtual bool EditMode() const = 0;
    // Reopens the editor on the byte cell with `text` and its remembered selection.
    virtual void ReopenEditor(int row, int column, const std::string& text) = 0;
    // The editor's text as it was when it was last opened.
    virtual std::string OpeningText() const = 0;
    // Hides the editor control, keeping the edit pending; the focus goes to the grid.
    virtual void HideEditor() = 0;
};

// No editor: nothing is ever pending.
class NoHexViewEditor : public HexViewEditor {
public:
    bool EditPending() const override { return false; }
    bool EditMode() const override { return false; }
    void ReopenEditor(int, int, const std::string&) override {}
    std::string OpeningText() const override { return {}; }
    void HideEditor() override {}
};
