#include "app/qt/QtWindowServices.h"

#include <QDesktopServices>
#include <QEventLoop>
#include <QFileInfo>
#include <QStringList>
#include <QTimer>
#include <QUrl>

#include "app/qt/AboutDialog.h"
#include "app/qt/FileDialog.h"
#include "widgets/qt/GuiThread.h"

QtWindowServices::QtWindowServices(QWidget* window, const QString& workDirectory, QObject* parent)
    : QObject(parent), m_window(window), m_workDirectory(workDirectory) {}

QString QtWindowServices::QtNameFilter(const OpenDialogFilter& filter) {
    QString label = QString::fromStdString(filter.label);
    // The label may carry its own pattern list in the platform's ';' form.
    const qsizetype open = label.lastIndexOf(QLatin1Char('('));
    if (open > 0 && label.endsWith(QLatin1Char(')'))) label.truncate(open);
    QStringList patterns;
    for (const std::string& pattern : filter.patterns) patterns.append(QString::fromStdString(pattern));
    return label + QLatin1Char('(') + patterns.join(QLatin1Char(' ')) + QLatin1Char(')');
}

QStringList QtWindowServices::QtNameFilters(const std::vector<OpenDialogFilter>& filters) {
    QStringList nameFilters;
    for (const OpenDialogFilter& filter : filters) nameFilters.append(QtNameFilter(filter));
    return nameFilters;
}

std::string QtWindowServices::ChooseOpenFile(const std::vector<OpenDialogFilter>& filters,
                                             const std::string& defaultSuffix) {
    const QString path = FileDialog::getOpenFileName(m_window, QStringLiteral("打开"), QtNameFilters(filters),
                                                     QString::fromStdString(defaultSuffix));
    return path.toStdString();
}

std::string QtWindowServices::ChooseSaveFile(const std::vector<OpenDialogFilter>& filters,
                                             const std::string& defaultSuffix) {
    const QString path = FileDialog::getSaveFileName(m_window, QStringLiteral("保存"), QtNameFilters(filters),
                                                     QString::fromStdString(defaultSuffix));
    return path.toStdString();
}

ShellOpenResult QtWindowServices::Open(const std::string& path) {
    const QString file = QString::fromStdString(path);
    if (!QFileInfo::exists(file)) return ShellOpenResult::FileNotFound;
    const bool opened = m_opener ? m_opener(file) : QDesktopServices::openUrl(QUrl::fromLocalFile(file));
    return opened ? ShellOpenResult::Opened : ShellOpenResult::Failed;
}

void QtWindowServices::ShowAboutBox() {
    AboutDialog about(m_workDirectory, m_window);
    about.exec();
}

void QtWindowServices::Run(const std::function<void()>& work) {
    RunOnGuiThread(this, work, true);
}

void QtWindowServices::ServeUntil(const std::function<bool()>& done) {
    // The worker's blocking calls arrive as events; the check runs between them.
    while (!done()) {
        QEventLoop loop;
        QTimer::singleShot(10, &loop, &QEventLoop::quit);
        loop.exec(QEventLoop::ExcludeUserInputEvents);
    }
}

void QtWindowServices::EndWindow() {
    if (m_endWindow) m_endWindow();
}
