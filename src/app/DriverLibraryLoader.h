#pragma once

#include "app/StartupSequence.h"
#include "platform/DriverLibrary.h"

// The start-up's driver loader over DriverLibrary::Load().
class DriverLibraryLoader : public DriverLoader {
public:
    explicit DriverLibraryLoader(DriverLibrary& library) : m_library(library) {}
    bool LoadDriver() override { return m_library.Load(); }

private:
    DriverLibrary& m_library;
};
