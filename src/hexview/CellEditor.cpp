#include "hexview/CellEditor.h"

#include "hexview/HexView.h"
#include "image/FileImage.h"
#include "image/ImageFileCopy.h"
#include "operations/WorkerState.h"
#include "ports/CommandIds.h"
#include "ports/MessageBoxes.h"
#include "ports/StatusLine.h"
#include "ports/WindowPorts.h"

namespace {

int DigitValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

bool IsByteCell(int row, int column) {
    return row >= 1 && row <= HexView::kPageRows && column >= 1 && column <= HexView::kRowBytes;
}

}  // namespace

CellEditor::CellEditor(FileImage& image, HexView& view, GridModel& grid, StatusLine& status,
                       MessageBoxes& boxes, CommandStates& commands, ControlTexts& texts,
                       const WorkerState& state)
    : m_image(image),
      m_view(view),
      m_grid(grid),
      m_status(status),
      m_boxes(boxes),
      m_commands(commands),
      m_texts(texts),
      m_state(state),
      m_control(&m_memoryControl) {}

void CellEditor::SetControl(CellEditorControl* control) {
    m_control = control ? control : &m_memoryControl;
}

void CellEditor::ToggleEditMode() {
    if (m_state.ProgramBusy) return;
    if (!m_image.loaded()) {
        m_status.SetStatus(NotOpenText, true, false);
        return;
    }
    if (m_editMode)
        SwitchToViewMode();
    else
        SwitchToEditMode();
}

void CellEditor::OnEditModeMenu() {
    if (m_state.ProgramBusy) return;
    if (!m_image.loaded()) {
        m_status.SetStatus(NotOpenText, true, true);
        return;
    }
    ToggleEditMode();
}

void CellEditor::SwitchToEditMode() {
    m_editMode = true;
    m_commands.SetChecked(CommandId::EditModeCheck, true);
    m_commands.SetEnabled(CommandId::Fill, true);
    m_grid.SetFocusMarking(false);
    const GridCellId current = m_grid.CurrentCell();
    if (current.IsValid()) {
        RefocusCurrentCell();
        RememberCell(current.row, current.column);
        OpenCellEditor(current.row, current.column, m_editOldText, kHighDigit);
    }
    m_commands.SetChecked(CommandId::EditModeMenu, true);
    m_status.SetStatus(EditModeText, false, false);
}

void CellEditor::SwitchToViewMode() {
    m_editMode = false;
    m_commands.SetChecked(CommandId::EditModeCheck, false);
    m_commands.SetEnabled(CommandId::Fill, false);
    m_grid.SetFocusMarking(true);
    const GridCellId current = m_grid.CurrentCell();
    if (current.IsValid()) {
        RefocusCurrentCell();
        RememberCell(current.row, current.column);
        const uint64_t offset =
            (static_cast<uint64_t>(m_view.topRow()) + current.row - 1) * HexView::kRowBytes + current.column -
            1;
        if (offset < m_image.length()) CommitCellEdit();
    }
    CloseCellEditor();
    m_control->FocusGrid();
    m_commands.SetChecked(CommandId::EditModeMenu, false);
    m_status.SetStatus(ViewModeText, false, false);
}

void CellEditor::RefocusCurrentCell() {
    const GridCellId current = m_grid.CurrentCell();
    m_grid.SetCurrentCell(-1, -1);
    m_grid.SetCurrentCell(current.row, current.column);
}

GridCellId CellEditor::EditedCell() const {
    const GridCellId current = m_grid.CurrentCell();
    if (!current.IsValid() || !IsByteCell(current.row, current.column) || m_view.editColumn() < 1)
        return current;
    // The grid's own arrow keys move its focus cell without moving the editor, and
    // no page refresh has caught up yet: the editor's text still belongs to its
    // byte, never to the cell the focus went to.
    const int64_t row =
        static_cast<int64_t>(m_view.editFileRow()) - static_cast<int64_t>(m_view.topRow()) + 1;
    if (row < 1 || row > HexView::kPageRows) return current;
    return GridCellId{static_cast<int>(row), m_view.editColumn()};
}

void CellEditor::RememberCell(int row, int column) {
    TargetCell(row, column, m_view.topRow() + static_cast<uint32_t>(row) - 1);
}

void CellEditor::TargetCell(int row, int column, uint32_t fileRow) {
    m_editRow = row;
    m_view.SetEditPosition(fileRow, column);
    m_editOldText = m_grid.CellText(row, column);
}

void CellEditor::OnGridClick(int x, int y) {
    m_view.SetFocusFollow(true);
    if (m_state.WorkCopyInUse() || !m_image.loaded() || !m_editMode) return;
    // The header row, the address and the ASCII column open nothing, although the
    // grid moves its focus into the byte cells for them.
    const GridCellId clicked = m_grid.CellAt(x, y);
    if (!IsByteCell(clicked.row, clicked.column)) return;
    const GridCellId current = m_grid.CurrentCell();
    if (!IsByteCell(current.row, current.column)) return;
    RememberCell(current.row, current.column);
    GridRect cell;
    if (!m_grid.CellRectangle(current.row, current.column, cell)) return;
    const EditorSelection digit =
        x - cell.left <= m_grid.ColumnWidth(current.column) / 2 ? kHighDigit : kLowDigit;
    m_editorText = m_grid.CellText(current.row, current.column);
    OpenCellEditor(current.row, current.column, m_editorText, digit);
}

void CellEditor::OpenCellEditor(int row, int column, const std::string& text, EditorSelection selection) {
    if (!IsByteCell(row, column)) return;
    m_status.SetStatus(InputText, false, false);
    GridRect cell;
    if (m_grid.CellRectangle(row, column, cell)) {
        // 3 px in from the cell's corner, 4 px off its right and 3 off its bottom:
        // 20 x 14 over a 25 x 18 cell.
        const ClientPoint origin = m_control->GridOrigin();
        m_control->ShowAt(origin.x + cell.left + 3, origin.y + cell.top + 3, cell.right - cell.left - 4,
                          cell.bottom - cell.top - 3);
    }
    m_editorText = text;
    m_control->SetText(text);
    m_control->Select(selection);
    m_shownSelection = selection;
    ShowTextColour(row, column);
    m_control->TakeFocus();
    m_editorOpen = true;
    m_openingText = m_control->Text();
    m_editorSelection = m_control->Selection();
    const GridCellId opened{row, column};
    if (!(opened == m_lastOpened)) m_lastAcceptedText.clear();
    m_lastOpened = opened;
}

void CellEditor::ShowTextColour(int row, int column) {
    switch (m_view.MarkOf(row, column)) {
        case HexView::Unchanged:
            m_control->SetTextColour(HexView::kBlack);
            break;
        case HexView::Modified:
            m_control->SetTextColour(HexView::kRed);
            break;
        case HexView::Outside:
            m_control->SetTextColour(HexView::kGrey);
            break;
        default:
            break;  // a found byte leaves the colour as it is
    }
}

void CellEditor::CloseCellEditor() {
    m_control->Hide();
    m_editorOpen = false;
}

void CellEditor::ReopenEditor(int row, int column, const std::string& text) {
    OpenCellEditor(row, column, text, m_editorSelection);
}

void CellEditor::HideEditor() {
    m_control->Hide();
    m_control->FocusGrid();
}

void CellEditor::PutBack(const std::string& text, EditorSelection selection) {
    m_editorText = text;
    m_control->SetText(text);
    m_control->Select(selection);
    m_shownSelection = selection;
}

void CellEditor::OnCellEditorChange() {
    // A hidden editor takes no input; nothing typed after a close reaches the image.
    if (!m_editorOpen || !m_editMode) return;
    if (m_state.WorkCopyInUse()) {
        // The page must not move while the worker reads the work copy: the
        // keystroke is taken back instead of being left in the editor unwritten.
        PutBack(m_editorText, m_shownSelection);
        return;
    }
    m_editorText = m_control->Text();
    if (m_editorText.empty()) {
        m_status.SetStatus(InputErrorText, true, false);
        m_boxes.Show(EmptyInputBox, "警告", MessageIcon::Exclamation);
        m_lastAcceptedText = m_openingText;
        PutBack(m_openingText, EditorSelection{0, static_cast<int>(m_openingText.size())});
        return;
    }
    const GridCellId current = EditedCell();
    const int p = m_control->Selection().start;
    // At 0 nothing was typed: a deletion in front of the digits.
    if (p <= 0 || p > static_cast<int>(m_editorText.size())) return;
    const int i = p - 1;
    if (DigitValue(m_editorText[static_cast<size_t>(i)]) < 0) {
        m_boxes.Show(NotHexBox, "提示", MessageIcon::Exclamation);
        PutBack(m_lastAcceptedText.empty() ? m_openingText : m_lastAcceptedText, EditorSelection{i, i + 1});
        return;
    }
    m_lastAcceptedText = m_editorText;
    if (i == 0) {
        if (CommitEdit() == Commit::Failed) return;
        OpenCellEditor(current.row, current.column, m_editorText, kLowDigit);
        return;
    }
    if (m_editorText.size() != 2) return;
    if (CommitEdit() == Commit::Failed) return;
    StepToNextByte(current.row, current.column);
}

void CellEditor::StepToNextByte(int row, int column) {
    if (!IsByteCell(row, column)) return;
    ++column;
    if (column > HexView::kRowBytes) {
        column = 1;
        ++row;
    }
    if (row > HexView::kPageRows) {
        // No check against the end of the image: typing on extends it row by row.
        m_view.SetTopRow(m_view.topRow() + 1);
        m_view.RefreshPage();
        row = HexView::kPageRows;
    }
    m_grid.SetCurrentCell(row, column);
    RememberCell(row, column);
    m_view.RefreshPage();
    m_editorText = m_grid.CellText(row, column);
    m_lastAcceptedText.clear();
    OpenCellEditor(row, column, m_editorText, kHighDigit);
}

void CellEditor::CommitCellEdit() {
    CommitEdit(false);
}

CellEditor::Commit CellEditor::CommitEdit(bool typed) {
    if (m_state.WorkCopyInUse() || !m_image.loaded() || !m_editorOpen) return Commit::Done;
    m_editorText = m_control->Text();
    const GridCellId current = EditedCell();
    // The byte has scrolled off the page: the edit stays pending and comes back with it.
    if (!current.IsValid()) return Commit::Done;
    RememberCell(current.row, current.column);
    const uint64_t offset =
        static_cast<uint64_t>(m_view.editFileRow()) * HexView::kRowBytes + m_view.editColumn() - 1;
    const uint32_t oldLength = m_image.length();
    // Past the end the editor shows a byte that does not exist: untouched, it adds none.
    if (m_editorText == m_editOldText && offset >= oldLength && !typed) return Commit::Done;
    if (m_editorText == m_editOldText && offset < oldLength) {
        CloseCellEditor();
        m_status.SetStatus(UnchangedText, false, false);
        return Commit::Done;
    }
    if (m_editorText.size() == 1) m_editorText = "0" + m_editorText;
    if (m_editorText.size() != 2 || DigitValue(m_editorText[0]) < 0 || DigitValue(m_editorText[1]) < 0)
        return Commit::Failed;  // the editor refuses such text before it gets here
    const auto value = static_cast<uint8_t>(DigitValue(m_editorText[0]) * 16 + DigitValue(m_editorText[1]));
    if (offset >= kMaxImageLength) {
        m_status.SetStatus(TooLongText, true, true);
        PutBack(m_editOldText, m_editorSelection);
        return Commit::Failed;
    }
    if (!m_image.WriteByte(offset, value)) {
        m_status.SetStatus(WriteFailedText, true, true);
        PutBack(m_editOldText, m_editorSelection);
        return Commit::Failed;
    }
    CloseCellEditor();
    m_view.UpdateScrollRange();
    m_texts.SetText(CommandId::ChecksumLabel, m_image.checksumText());
    m_texts.SetText(CommandId::SizeLabel, m_image.sizeText());
    m_view.RefreshPage();
    m_status.SetStatus(ChangedText, false, false);
    m_commands.SetEnabled(CommandId::Save, true);
    return Commit::Done;
}
