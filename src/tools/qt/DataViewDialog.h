#pragma once

#include <QDialog>

class DataViewLookup;
class MessageBoxes;
class QLabel;
class QLineEdit;
class QPushButton;

// "数据查看": an address, and for it the file's byte, the chip's byte and the
// look-up's status. Modal; Enter looks up and keeps it open.
class DataViewDialog : public QDialog {
    Q_OBJECT

public:
    static constexpr const char* Title = "数据查看";

    DataViewDialog(DataViewLookup& lookup, MessageBoxes& boxes, QWidget* parent = nullptr);

    QLineEdit* addressEdit() const { return m_address; }
    QLabel* fileLabel() const { return m_file; }
    QLabel* chipLabel() const { return m_chip; }
    QLabel* statusLabel() const { return m_status; }
    QPushButton* lookUpButton() const { return m_lookUp; }

private:
    void LookUp();

    DataViewLookup& m_lookup;
    QLineEdit* m_address;
    QLabel* m_file;
    QLabel* m_chip;
    QLabel* m_status;
    QPushButton* m_lookUp;
};
