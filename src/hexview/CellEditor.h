#pragma once

#include <atomic>
#include <cstdint>
#include <string>

#include "hexview/CellEditorControl.h"
#include "hexview/HexViewEditor.h"
#include "widgets/GridModel.h"

class CommandStates;
class ControlTexts;
class FileImage;
class HexView;
class MessageBoxes;
class StatusLine;
struct WorkerState;

// Edit mode and the in-place editing of single bytes of the hex view. Every
// accepted keystroke is written into the work copy at once; what changed is the
// difference between the work copy and the source, which the view colours. Runs
// on the window thread; clicks, keystrokes and commits wait while program or
// verify read the work copy.
class CellEditor : public HexViewEditor {
public:
    static constexpr const char* NotOpenText = "文件尚未打开，无法进行模式转换操作！";
    static constexpr const char* EditModeText = "您已选择编辑模式，可对数据进行修改。";
    static constexpr const char* ViewModeText = "您已选择查看模式，不能对数据进行修改。";
    static constexpr const char* InputText = "输入...";
    static constexpr const char* ChangedText = "数据已被更改";
    static constexpr const char* UnchangedText = "数据未更改";
    static constexpr const char* InputErrorText = "输入错误";
    static constexpr const char* EmptyInputBox = "输入不能为空！";
    static constexpr const char* NotHexBox = "请输入0~F之间的16进制字符！   ";
    static constexpr const char* WriteFailedText = "数据写入失败...";
    static constexpr const char* TooLongText = "文件长度已达上限，无法写入...";

    CellEditor(FileImage& image, HexView& view, GridModel& grid, StatusLine& status, MessageBoxes& boxes,
               CommandStates& commands, ControlTexts& texts, const WorkerState& state);

    // The window's editor control; none (nullptr) keeps the editor's state in memory only.
    void SetControl(CellEditorControl* control);

    bool editMode() const { return m_editMode; }
    // The flag alone (a chip read turns edit mode off without the rest of the switch).
    void SetEditModeFlag(bool on) { m_editMode = on; }

    // Check box 1006: switches between view and edit mode.
    void ToggleEditMode();
    // Menu entry 32783: as the check box, but without an image it also beeps.
    void OnEditModeMenu();
    // Release of a left click on the grid at (x, y) of the grid's client area,
    // after the grid moved its focus cell.
    void OnGridClick(int x, int y);
    // The user changed the editor's text.
    void OnCellEditorChange();
    // Writes the editor's text into the byte under edit (Enter, Save, the switch
    // to view mode). Nothing while program or verify run, without an image, or
    // when no edit is pending.
    void CommitCellEdit();
    // Opens the editor over byte cell (row 1..21, column 1..16) with `text` and
    // `selection`; other cells open nothing.
    void OpenCellEditor(int row, int column, const std::string& text, EditorSelection selection);
    // Hides the editor; nothing typed afterwards reaches the image.
    void CloseCellEditor();
    // Makes byte cell (row, column) the target of the next commit, as a click does:
    // its text as the old value and `fileRow` as the file row written to.
    void TargetCell(int row, int column, uint32_t fileRow);

    bool editorOpen() const { return m_editorOpen; }
    const std::string& editorText() const { return m_editorText; }
    int editRow() const { return m_editRow; }
    const std::string& editOldText() const { return m_editOldText; }
    EditorSelection editorSelection() const { return m_editorSelection; }

    // HexViewEditor: the page refresh keeps the editor on its byte.
    bool EditPending() const override { return m_editorOpen; }
    bool EditMode() const override { return m_editMode; }
    void ReopenEditor(int row, int column, const std::string& text) override;
    std::string OpeningText() const override { return m_openingText; }
    void HideEditor() override;

private:
    // Keeps text and selection when the window has no editor control.
    class MemoryControl : public CellEditorControl {
    public:
        ClientPoint GridOrigin() const override { return {}; }
        void ShowAt(int, int, int, int) override {}
        void Hide() override {}
        std::string Text() const override { return m_text; }
        void SetText(const std::string& text) override { m_text = text; }
        EditorSelection Selection() const override { return m_selection; }
        void Select(EditorSelection selection) override { m_selection = selection; }
        void TakeFocus() override {}
        void FocusGrid() override {}
        void SetTextColour(GridColour) override {}

    private:
        std::string m_text;
        EditorSelection m_selection;
    };

    enum class Commit { Done, Failed };

    // `typed`: a keystroke commits; otherwise (Enter, Save, a switch) an untouched
    // editor past the end commits nothing.
    Commit CommitEdit(bool typed = true);
    void StepToNextByte(int row, int column);
    void SwitchToEditMode();
    void SwitchToViewMode();
    // Clears and sets the focus cell again so a changed focus marking shows.
    void RefocusCurrentCell();
    void RememberCell(int row, int column);
    // The page cell of the byte under edit: the grid's current cell, unless the
    // grid's keys moved that away from the byte the editor stands on.
    GridCellId EditedCell() const;
    void PutBack(const std::string& text, EditorSelection selection);
    void ShowTextColour(int row, int column);

    FileImage& m_image;
    HexView& m_view;
    GridModel& m_grid;
    StatusLine& m_status;
    MessageBoxes& m_boxes;
    CommandStates& m_commands;
    ControlTexts& m_texts;
    const WorkerState& m_state;
    MemoryControl m_memoryControl;
    CellEditorControl* m_control;

    std::atomic<bool> m_editMode{false};
    bool m_editorOpen = false;
    std::string m_editorText;
    int m_editRow = -1;
    std::string m_editOldText;
    std::string m_openingText;
    EditorSelection m_editorSelection;
    std::string m_lastAcceptedText;
    GridCellId m_lastOpened;
    // Selection the program last gave the editor: a keystroke refused while the
    // work copy is busy is taken back to it.
    EditorSelection m_shownSelection;
};
