#pragma once

#include <string>

// The work directory: the current directory with a trailing "/". The work files,
// the settings file, the log and the manual are found there. "./" when the
// current directory cannot be read (removed under us).
std::string CurrentDirectory();
