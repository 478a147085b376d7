#pragma once

#include <QDialog>

#include "tools/FillForm.h"

class FileFill;
class MessageBoxes;
class QCheckBox;
class QLabel;
class QLineEdit;
class QPushButton;

// "文件数据填充": start address (hex), length (decimal), data (hex) and the check
// box that appends at the end of the file. Modal; Enter fills and keeps it open.
class FillDialog : public QDialog {
    Q_OBJECT

public:
    FillDialog(FileFill& fill, MessageBoxes& boxes, QWidget* parent = nullptr);

    QLineEdit* addressEdit() const { return m_address; }
    QLineEdit* lengthEdit() const { return m_length; }
    QLineEdit* dataEdit() const { return m_data; }
    QLabel* statusLabel() const { return m_status; }
    QCheckBox* appendBox() const { return m_append; }
    QPushButton* fillButton() const { return m_fill; }
    const FillForm& form() const { return m_form; }

private:
    void AppendClicked(bool ticked);
    void Fill();

    FillForm m_form;
    QLineEdit* m_address;
    QLineEdit* m_length;
    QLineEdit* m_data;
    QLabel* m_status;
    QCheckBox* m_append;
    QPushButton* m_fill;
};
