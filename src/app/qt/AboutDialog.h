#pragma once

#include <QDialog>
#include <QString>

class QLabel;

// The about box: the program's picture, its name and version, an OK button and a
// few lines with two links (the user manual and the folder holding the work files).
class AboutDialog : public QDialog {
    Q_OBJECT

public:
    static constexpr const char* Title = "关于 XJQT_Tarlo";
    static constexpr const char* ProductName = "XJQT_Tarlo Flash编程器 V1.5";

    // `workDirectory` ends with "/"; the manual lies in it.
    explicit AboutDialog(const QString& workDirectory, QWidget* parent = nullptr);

    QLabel* linksLabel() const { return m_links; }

private:
    QLabel* m_links;
};
