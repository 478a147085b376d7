#pragma once

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <string>

#include "hexview/CellEditorControl.h"
#include "support/RecordingPorts.h"

// The cell editor control as a line edit of at most two characters behaves:
// typing replaces the selection (upper-cased), a third character is refused,
// Backspace and Delete remove the selection or one character. Records what the
// program does to it: editor-show:L,T,W,H  editor-hide  editor-text:T
// editor-select:S,E  editor-focus  grid-focus  editor-colour:0xRRGGBB.
// The user's actions return true when the text changed (the control's change
// notice, which the test passes on to CellEditor::OnCellEditorChange).
class FakeCellEditorControl : public CellEditorControl {
public:
    explicit FakeCellEditorControl(EventLog& log, ClientPoint origin = {}) : m_log(log), m_origin(origin) {}

    ClientPoint GridOrigin() const override { return m_origin; }
    void ShowAt(int left, int top, int width, int height) override {
        visible = true;
        m_log.Add("editor-show:" + std::to_string(left) + "," + std::to_string(top) + "," +
                  std::to_string(width) + "," + std::to_string(height));
    }
    void Hide() override {
        visible = false;
        m_log.Add("editor-hide");
    }
    std::string Text() const override { return text; }
    void SetText(const std::string& t) override {
        text = t.substr(0, 2);
        caret = static_cast<int>(text.size());
        anchor = caret;
        m_log.Add("editor-text:" + text);
    }
    EditorSelection Selection() const override { return {std::min(anchor, caret), std::max(anchor, caret)}; }
    void Select(EditorSelection s) override {
        anchor = s.start;
        caret = s.end;
        m_log.Add("editor-select:" + std::to_string(s.start) + "," + std::to_string(s.end));
    }
    void TakeFocus() override { m_log.Add("editor-focus"); }
    void FocusGrid() override { m_log.Add("grid-focus"); }
    void SetTextColour(GridColour c) override {
        colour = c;
        char hex[16];
        std::snprintf(hex, sizeof hex, "0x%06X", static_cast<unsigned>(c));
        m_log.Add(std::string("editor-colour:") + hex);
    }

    // --- The user ---
    bool Type(char c) {
        const EditorSelection s = Selection();
        if (s.start == s.end && text.size() >= 2) return false;  // the third character is refused
        text.replace(static_cast<size_t>(s.start), static_cast<size_t>(s.end - s.start), 1,
                     static_cast<char>(std::toupper(static_cast<unsigned char>(c))));
        caret = anchor = s.start + 1;
        return true;
    }
    bool Backspace() {
        EditorSelection s = Selection();
        if (s.start == s.end) {
            if (s.start == 0) return false;
            s.start -= 1;
        }
        return Remove(s);
    }
    bool Delete() {
        EditorSelection s = Selection();
        if (s.start == s.end) {
            if (s.end >= static_cast<int>(text.size())) return false;
            s.end += 1;
        }
        return Remove(s);
    }
    bool Clear() {
        if (text.empty()) return false;
        return Remove({0, static_cast<int>(text.size())});
    }

    std::string text;
    int anchor = 0;
    int caret = 0;
    bool visible = false;
    GridColour colour = 0xFFFFFFFF;

private:
    bool Remove(EditorSelection s) {
        text.erase(static_cast<size_t>(s.start), static_cast<size_t>(s.end - s.start));
        caret = anchor = s.start;
        return true;
    }

    EventLog& m_log;
    ClientPoint m_origin;
};
