#pragma once

#include <QString>
#include <QStringList>

class QFileDialog;
class QWidget;

// The open-file and save-file dialogs of the program (window thread only). Tests switch on the
// test mode: no dialog is shown and the answer is the next file name queued with
// setNextFileName() (an empty name, or none queued, means Cancel).
class FileDialog {
public:
    static QString getOpenFileName(QWidget* parent, const QString& title, const QStringList& nameFilters,
                                   const QString& defaultSuffix);
    // Asks before an existing file is overwritten; the answer is then that file.
    static QString getSaveFileName(QWidget* parent, const QString& title, const QStringList& nameFilters,
                                   const QString& defaultSuffix);

    // Sets the dialog's filters. A filter of "*.*" matches every file, names without
    // a dot included, as "*.*" means on the system the texts come from.
    static void setNameFilters(QFileDialog& dialog, const QStringList& nameFilters);

    // Test hooks (both dialogs take their answers from one queue).
    static void setTestMode(bool on);
    static void setNextFileName(const QString& path);
    // How many dialogs were asked for since the test mode was switched on.
    static int requestCount();
    // The name filters of the last dialog asked for.
    static QStringList lastNameFilters();
};
