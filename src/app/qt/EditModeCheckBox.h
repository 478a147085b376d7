#pragma once

#include <QCheckBox>

// The edit-mode check box 1006. A click asks the window to switch modes; the
// box itself never changes its state: it shows the mode the program sets, with
// the view-mode picture while unchecked and the edit-mode picture while checked.
class EditModeCheckBox : public QCheckBox {
    Q_OBJECT

public:
    explicit EditModeCheckBox(const QString& text, QWidget* parent = nullptr);

protected:
    void nextCheckState() override {}

private:
    void showMode(bool editMode);
};
