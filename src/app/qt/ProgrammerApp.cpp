#include "app/qt/ProgrammerApp.h"

#include <QApplication>
#include <QFont>
#include <QFontDatabase>
#include <QLibraryInfo>
#include <QLocale>
#include <QTranslator>

#include "app/DriverLibraryLoader.h"
#include "app/StartupSequence.h"
#include "app/qt/ProgrammerDialog.h"
#include "app/qt/QtMessageBoxes.h"
#include "platform/CurrentDirectory.h"

bool ProgrammerApp::installTranslations(QApplication& app) {
    auto* translator = new QTranslator(&app);
    if (!translator->load(QStringLiteral("qtbase_zh_CN"),
                          QLibraryInfo::path(QLibraryInfo::TranslationsPath))) {
        delete translator;
        return false;
    }
    QApplication::installTranslator(translator);
    QLocale::setDefault(QLocale(QLocale::Chinese, QLocale::China));
    return true;
}

QString ProgrammerApp::chooseFontFamily() {
    const QStringList installed = QFontDatabase::families();
    for (const QString& family : {QStringLiteral("SimSun"), QStringLiteral("宋体"), QStringLiteral("NSimSun"),
                                  QStringLiteral("WenQuanYi Micro Hei"), QStringLiteral("Noto Sans CJK SC"),
                                  QStringLiteral("Noto Sans SC"), QStringLiteral("Source Han Sans SC")})
        if (installed.contains(family, Qt::CaseInsensitive)) return family;
    return QApplication::font().family();
}

void ProgrammerApp::applyFont(QApplication& app) {
    Q_UNUSED(app);
    QFont font(chooseFontFamily());
    font.setPointSize(10);
    QApplication::setFont(font);
}

int ProgrammerApp::run() {
    const std::string workDirectory = CurrentDirectory();
    {
        // Start-up boxes have no owner window.
        QtMessageBoxes boxes(nullptr);
        DriverLibraryLoader loader(m_driver);
        StartupSequence startup(boxes, m_locks, loader, m_dataFile, workDirectory);
        if (!startup.Run()) return 0;
    }

    ProgrammerResources resources;
    resources.driver = m_driver.Bind();
    resources.productData = &m_dataFile;
    resources.workDirectory = workDirectory;
    // The command-line jobs lock the programmers in the runtime directory too.
    resources.programmerLockDirectory = std::string();
    resources.release = [this] {
        m_driver.Unload();
        m_dataFile.Close();
    };
    ProgrammerDialog dialog(std::move(resources));
    dialog.initialise();
    dialog.exec();
    return 0;
}
