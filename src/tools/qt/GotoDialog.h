#pragma once

#include <QDialog>

class GotoForm;
class MessageBoxes;
class QLineEdit;
class QPushButton;

// "文件地址定位": a hex address and "确定" (or Enter) to jump to it. Modeless and
// deleted when closed; the main window stays usable and any number may be open.
class GotoDialog : public QDialog {
    Q_OBJECT

public:
    GotoDialog(GotoForm& form, MessageBoxes& boxes, QWidget* parent = nullptr);

    QLineEdit* addressEdit() const { return m_address; }
    QPushButton* jumpButton() const { return m_jump; }

private:
    void Jump();

    GotoForm& m_form;
    QLineEdit* m_address;
    QPushButton* m_jump;
};
