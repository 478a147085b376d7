#include <QApplication>

#include <clocale>

#include "app/qt/ProgrammerApp.h"
#include "platform/UserWorkDirectory.h"

int main(int argc, char* argv[]) {
    // Started from the desktop (no XJQT.uc here): the per-user work directory.
    EnterWorkDirectory("xjqt_tarlo");
    QApplication app(argc, argv);
    // QApplication takes the user's locale; the program's number texts keep the decimal point.
    std::setlocale(LC_NUMERIC, "C");
    QApplication::setApplicationName(QStringLiteral("XJQT_Tarlo"));
    ProgrammerApp::installTranslations(app);
    ProgrammerApp::applyFont(app);
    ProgrammerApp programmer;
    return programmer.run();
}
