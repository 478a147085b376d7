#include <QApplication>

#include "app/qt/ProgrammerApp.h"

int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("XJQT_Tarlo"));
    ProgrammerApp::installTranslations(app);
    ProgrammerApp::applyFont(app);
    ProgrammerApp programmer;
    return programmer.run();
}
