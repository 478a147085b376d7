#pragma once

#include <string>

#include "widgets/GridModel.h"

// A selection in the cell editor: character positions [start, end). A bare caret
// is (p, p).
struct EditorSelection {
    int start = 0;
    int end = 0;
    friend bool operator==(const EditorSelection&, const EditorSelection&) = default;
};

inline constexpr EditorSelection kHighDigit{0, 1};
inline constexpr EditorSelection kLowDigit{1, 2};
inline constexpr EditorSelection kBothDigits{0, 2};

// A point in the main window's client area (the editor's parent).
struct ClientPoint {
    int x = 0;
    int y = 0;
};

// The in-place cell editor control 1027: a two-character edit, a child of the main
// window, centred text converted to upper case while typed, its selection kept
// visible without the focus. It reports only the user's changes to its text
// (CellEditor::OnCellEditorChange); what the program sets raises no notice.
class CellEditorControl {
public:
    virtual ~CellEditorControl() = default;
    // Top-left corner of the grid window in the editor parent's coordinates.
    virtual ClientPoint GridOrigin() const = 0;
    // Moves the editor to this rectangle of its parent and shows it.
    virtual void ShowAt(int left, int top, int width, int height) = 0;
    virtual void Hide() = 0;
    virtual std::string Text() const = 0;
    virtual void SetText(const std::string& text) = 0;
    // The selection, or (caret, caret) when nothing is selected.
    virtual EditorSelection Selection() const = 0;
    // Selects and scrolls the caret into view.
    virtual void Select(EditorSelection selection) = 0;
    // Keyboard focus to the editor.
    virtual void TakeFocus() = 0;
    // Keyboard focus to the grid.
    virtual void FocusGrid() = 0;
    virtual void SetTextColour(GridColour colour) = 0;
};
