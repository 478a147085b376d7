#pragma once

#include <QString>

#include <string>

#include "app/SystemInstanceLocks.h"
#include "device/ProductDataFile.h"
#include "platform/DriverLibrary.h"

class QApplication;
class QTranslator;

// The application: the start-up checks (sibling program, second instance, the
// product data file, the driver library), then the main window for as long as
// it runs. Owns the instance lock, the open data file and the loaded driver
// library; the window lets the last two go when it closes.
class ProgrammerApp {
public:
    // `lockDirectory`: where the single-instance lock files live; empty: the
    // user's runtime directory.
    explicit ProgrammerApp(std::string lockDirectory = {}) : m_locks(std::move(lockDirectory)) {}
    ProgrammerApp(const ProgrammerApp&) = delete;
    ProgrammerApp& operator=(const ProgrammerApp&) = delete;

    // Runs the checks and the window; the process's exit code.
    int run();

    // Qt's own Chinese texts (message box buttons, file dialog); false when the
    // translation is not installed.
    static bool installTranslations(QApplication& app);
    // 宋体 when installed, else an installed CJK face; 10 points.
    static QString chooseFontFamily();
    static void applyFont(QApplication& app);

private:
    SystemInstanceLocks m_locks;
    ProductDataFile m_dataFile;
    DriverLibrary m_driver;
};
