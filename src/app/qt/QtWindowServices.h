#pragma once

#include <QObject>
#include <QPointer>
#include <QString>
#include <QStringList>
#include <QWidget>

#include <functional>

#include "app/qt/ChangeLogViewer.h"
#include "app/qt/ManualViewer.h"
#include "ports/WindowPorts.h"
#include "ports/WindowServices.h"

// The window's services for the core: the open and save dialogs, the shell's "open", the
// about box, blocking runs on the window thread, and serving the worker while
// the window waits for it to end.
class QtWindowServices : public QObject,
                         public FileDialogPort,
                         public ShellPort,
                         public AboutBoxPort,
                         public WindowThread,
                         public WindowLifetime {
    Q_OBJECT

public:
    using Opener = std::function<bool(const QString& path)>;

    // `workDirectory` ends with "/".
    QtWindowServices(QWidget* window, const QString& workDirectory, QObject* parent = nullptr);

    // What ending the window means (the dialog's accept).
    void setEndWindow(std::function<void()> end) { m_endWindow = std::move(end); }
    // Test hook: replaces the desktop's opener.
    void setOpener(Opener opener) { m_opener = std::move(opener); }

    std::string ChooseOpenFile(const std::vector<OpenDialogFilter>& filters,
                               const std::string& defaultSuffix) override;
    std::string ChooseSaveFile(const std::vector<OpenDialogFilter>& filters,
                               const std::string& defaultSuffix) override;
    ShellOpenResult Open(const std::string& path) override;
    ShellOpenResult ShowInOwnViewer(const std::string& path, OwnViewer viewer) override;
    void ShowAboutBox() override;
    void Run(const std::function<void()>& work) override;
    void ServeUntil(const std::function<bool()>& done) override;
    void EndWindow() override;

    // "label(patterns)" as Qt's file dialog reads it: the patterns in the
    // parentheses separated by blanks.
    static QString QtNameFilter(const OpenDialogFilter& filter);
    static QStringList QtNameFilters(const std::vector<OpenDialogFilter>& filters);

    // The own viewer windows while they are open (tests, screenshots).
    ManualViewer* manualViewer() const { return m_manualViewer; }
    ChangeLogViewer* changeLogViewer() const { return m_changeLogViewer; }

private:
    QPointer<QWidget> m_window;
    QString m_workDirectory;
    std::function<void()> m_endWindow;
    Opener m_opener;
    QPointer<ManualViewer> m_manualViewer;
    QPointer<ChangeLogViewer> m_changeLogViewer;
};
