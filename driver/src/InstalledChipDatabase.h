#pragma once

#include <memory>
#include <string>

#include "ChipDatabase.h"

namespace velmor {

// The directory this library was loaded from (dladdr): the build tree's bin/
// or the installed library's private folder.
std::string libraryDirectory();

// The installed database found from libraryDirectory() with the work
// directory's chipdb-user.txt on top, read afresh; each complaint goes to
// standard error once per process.
std::shared_ptr<const ChipDatabase> installedChipDatabase();

}  // namespace velmor
