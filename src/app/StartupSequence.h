#pragma once

#include <string>

#include "platform/InstanceNames.h"

class MessageBoxes;
class ProductDataFile;

// Named single-instance locks, as the start-up uses them.
class InstanceLocks {
public:
    virtual ~InstanceLocks() = default;
    // Takes the name and gives it back at once: true when another process holds it.
    virtual bool IsHeldElsewhere(const std::string& name) = 0;
    // Takes the name for the rest of the process: false when another process holds it.
    virtual bool Hold(const std::string& name) = 0;
    // Takes the name in `directory` (the work directory) for the rest of the process,
    // so two programs never share one work directory, whatever their runtime
    // directories: false when another process holds it there.
    virtual bool HoldInDirectory(const std::string& name, const std::string& directory) = 0;
};

// Loads the driver library for the life of the main window.
class DriverLoader {
public:
    virtual ~DriverLoader() = default;
    virtual bool LoadDriver() = 0;
};

// The checks before the main window opens, in order: the sibling program, a
// second instance (system-wide, then in the work directory), the product data file and its checksum, the
// driver library. The first failing check shows its box (no owner window) and ends the start.
class StartupSequence {
public:
    StartupSequence(MessageBoxes& boxes, InstanceLocks& locks, DriverLoader& driver,
                    ProductDataFile& dataFile, std::string workDirectory);
    // True when the main window may open; the data file is then open.
    bool Run();

private:
    MessageBoxes& m_boxes;
    InstanceLocks& m_locks;
    DriverLoader& m_driver;
    ProductDataFile& m_dataFile;
    std::string m_workDirectory;
};
