#include "app/qt/FileDialog.h"

#include <QFileDialog>
#include <QFileSystemModel>

#include <deque>

namespace {

struct TestHook {
    bool testMode = false;
    std::deque<QString> names;
    int requests = 0;
    QStringList lastFilters;
};

TestHook& Hook() {
    static TestHook hook;
    return hook;
}

// In test mode: the next queued answer (empty: cancelled).
QString NextTestAnswer(TestHook& hook, const QStringList& nameFilters) {
    ++hook.requests;
    hook.lastFilters = nameFilters;
    if (hook.names.empty()) return {};
    QString name = hook.names.front();
    hook.names.pop_front();
    return name;
}

// Qt reads "*.*" as "a name with a dot".
bool MatchesEverything(const QString& nameFilter) {
    const qsizetype open = nameFilter.lastIndexOf(QLatin1Char('('));
    if (open < 0 || !nameFilter.endsWith(QLatin1Char(')'))) return false;
    const QString patterns = nameFilter.mid(open + 1, nameFilter.size() - open - 2);
    return patterns.split(QLatin1Char(' '), Qt::SkipEmptyParts).contains(QStringLiteral("*.*"));
}

}  // namespace

void FileDialog::setNameFilters(QFileDialog& dialog, const QStringList& nameFilters) {
    dialog.setNameFilters(nameFilters);
    // The dialog applies a chosen filter's patterns before it reports the choice: the
    // model's patterns are widened after it.
    QObject::connect(&dialog, &QFileDialog::filterSelected, &dialog, [&dialog](const QString& filter) {
        if (!MatchesEverything(filter)) return;
        if (auto* model = dialog.findChild<QFileSystemModel*>()) model->setNameFilters({QStringLiteral("*")});
    });
}

QString FileDialog::getOpenFileName(QWidget* parent, const QString& title, const QStringList& nameFilters,
                                    const QString& defaultSuffix) {
    TestHook& hook = Hook();
    if (hook.testMode) return NextTestAnswer(hook, nameFilters);

    // Qt's own dialog, so its texts follow the program's Chinese translation.
    QFileDialog dialog(parent, title);
    dialog.setOption(QFileDialog::DontUseNativeDialog, true);
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    dialog.setFileMode(QFileDialog::ExistingFile);
    setNameFilters(dialog, nameFilters);
    dialog.setDefaultSuffix(defaultSuffix);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return {};
    return dialog.selectedFiles().constFirst();
}

QString FileDialog::getSaveFileName(QWidget* parent, const QString& title, const QStringList& nameFilters,
                                    const QString& defaultSuffix) {
    TestHook& hook = Hook();
    if (hook.testMode) return NextTestAnswer(hook, nameFilters);

    QFileDialog dialog(parent, title);
    dialog.setOption(QFileDialog::DontUseNativeDialog, true);
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setFileMode(QFileDialog::AnyFile);
    // Qt asks before an existing file is chosen (DontConfirmOverwrite stays off).
    dialog.setOption(QFileDialog::DontConfirmOverwrite, false);
    setNameFilters(dialog, nameFilters);
    dialog.setDefaultSuffix(defaultSuffix);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return {};
    return dialog.selectedFiles().constFirst();
}

void FileDialog::setTestMode(bool on) {
    TestHook& hook = Hook();
    hook.testMode = on;
    hook.names.clear();
    hook.requests = 0;
    hook.lastFilters.clear();
}

void FileDialog::setNextFileName(const QString& path) {
    Hook().names.push_back(path);
}

int FileDialog::requestCount() {
    return Hook().requests;
}

QStringList FileDialog::lastNameFilters() {
    return Hook().lastFilters;
}
