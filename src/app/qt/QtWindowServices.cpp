#include "app/qt/QtWindowServices.h"

#include <QDesktopServices>
#include <QEventLoop>
#include <QFileInfo>
#include <QMimeDatabase>
#include <QProcess>
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

namespace {

// On a free desktop the opener starts xdg-open and reports success whatever
// follows, so a type no application is registered for is asked about first.
bool DesktopOpens(const QString& file) {
#if defined(Q_OS_UNIX) && !defined(Q_OS_MACOS)
    const QString type = QMimeDatabase().mimeTypeForFile(file).name();
    QProcess query;
    query.start(QStringLiteral("xdg-mime"), {QStringLiteral("query"), QStringLiteral("default"), type});
    if (!query.waitForFinished(3000)) {
        query.kill();
        query.waitForFinished();
        return false;
    }
    if (query.exitStatus() != QProcess::NormalExit || query.exitCode() != 0 ||
        query.readAllStandardOutput().trimmed().isEmpty())
        return false;
#endif
    return QDesktopServices::openUrl(QUrl::fromLocalFile(file));
}

}  // namespace

ShellOpenResult QtWindowServices::Open(const std::string& path) {
    const QString file = QString::fromStdString(path);
    if (!QFileInfo::exists(file)) return ShellOpenResult::FileNotFound;
    const bool opened = m_opener ? m_opener(file) : DesktopOpens(file);
    return opened ? ShellOpenResult::Opened : ShellOpenResult::Failed;
}

ShellOpenResult QtWindowServices::ShowInOwnViewer(const std::string& path, OwnViewer viewer) {
    const QString file = QString::fromStdString(path);
    if (!QFileInfo::exists(file)) return ShellOpenResult::FileNotFound;
    QWidget* window = nullptr;
    if (viewer == OwnViewer::Manual) {
        if (m_manualViewer == nullptr) m_manualViewer = new ManualViewer(m_window);
        m_manualViewer->showManual(file);
        window = m_manualViewer;
    } else {
        if (m_changeLogViewer == nullptr) {
            const Opener opener = [this](const QString& log) {
                return m_opener ? m_opener(log) : DesktopOpens(log);
            };
            m_changeLogViewer = new ChangeLogViewer(file, opener, m_window);
        } else {
            m_changeLogViewer->reload();
        }
        window = m_changeLogViewer;
    }
    window->show();
    window->raise();
    window->activateWindow();
    return ShellOpenResult::Opened;
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
