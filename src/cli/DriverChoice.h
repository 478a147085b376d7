#pragma once

#include <string>

#include "platform/DriverApi.h"

class DriverLibrary;

// Loads the driver library the run asked for (`path`, or the one beside the
// program when empty) and binds it into `api`. Returns what stops the run, empty
// when the library is usable: a missing file, a file that is no loadable library,
// and a library without the driver's entry points each say so.
std::string LoadDriverLibrary(DriverLibrary& library, const std::string& path, DriverApi& api);

// The first entry point `api` lacks and how many it lacks; empty when complete.
std::string MissingEntryPoints(const DriverApi& api);

// The lines --version adds about the driver: the library's file (or why none
// loaded), its version and libusb's, each "未知" when the library cannot tell.
std::string DriverVersionLines(const DriverApi& api, const std::string& libraryText);
