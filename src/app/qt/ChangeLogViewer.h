#pragma once

#include <QDialog>
#include <QString>

#include <functional>

class QLabel;
class QPlainTextEdit;

// The modification log in a window of the program's own: the log is GBK, which
// desktop editors often take for another encoding. A button still hands it to
// the desktop's editor.
class ChangeLogViewer : public QDialog {
    Q_OBJECT

public:
    using Opener = std::function<bool(const QString& path)>;

    ChangeLogViewer(const QString& path, Opener opener, QWidget* parent = nullptr);
    // Reads the log again (it grows with every save) and shows its end.
    void reload();

    QPlainTextEdit* textView() const { return m_text; }
    QLabel* note() const { return m_note; }

private:
    QString m_path;
    Opener m_opener;
    QPlainTextEdit* m_text;
    QLabel* m_note;
};
