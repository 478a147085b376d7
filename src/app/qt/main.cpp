#include <QApplication>

#include <clocale>

#include "app/qt/ProgrammerApp.h"

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    // QApplication takes the user's locale; the program's number texts keep the decimal point.
    std::setlocale(LC_NUMERIC, "C");
    QApplication::setApplicationName(QStringLiteral("XJQT_Tarlo"));
    ProgrammerApp::installTranslations(app);
    ProgrammerApp::applyFont(app);
    ProgrammerApp programmer;
    return programmer.run();
}
