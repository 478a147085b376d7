#pragma once

#include <QDialog>
#include <QString>

class QTextBrowser;

// The HTML manual in a window of the program's own, for desktops where no
// browser takes it. Links to other pages stay inside; web links go to the desktop.
class ManualViewer : public QDialog {
    Q_OBJECT

public:
    explicit ManualViewer(QWidget* parent = nullptr);
    // Shows `indexPath` (the manual's first page).
    void showManual(const QString& indexPath);
    QTextBrowser* browser() const { return m_browser; }

private:
    QTextBrowser* m_browser;
};
