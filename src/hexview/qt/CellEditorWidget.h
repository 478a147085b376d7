#pragma once

#include <QLineEdit>
#include <QPointer>

#include "hexview/CellEditorControl.h"

// The cell editor control 1027 on the main window: a frameless two-character line
// edit with centred text, upper-cased while typed, whose selection stays visible
// when it loses the focus. It sits over a cell of `grid`, a sibling in the same
// parent. The user's changes arrive as `userChanged` (textEdited); the program's
// own changes raise nothing.
class CellEditorWidget : public QLineEdit, public CellEditorControl {
    Q_OBJECT

public:
    CellEditorWidget(QWidget* grid, QWidget* parent);

    ClientPoint GridOrigin() const override;
    void ShowAt(int left, int top, int width, int height) override;
    void Hide() override;
    std::string Text() const override;
    void SetText(const std::string& text) override;
    EditorSelection Selection() const override;
    void Select(EditorSelection selection) override;
    void TakeFocus() override;
    void FocusGrid() override;
    void SetTextColour(GridColour colour) override;

    void setGrid(QWidget* grid) { m_grid = grid; }

Q_SIGNALS:
    void userChanged();

protected:
    void focusOutEvent(QFocusEvent* event) override;

private:
    QPointer<QWidget> m_grid;
};
