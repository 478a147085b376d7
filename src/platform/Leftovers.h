#pragma once

#include <string>

// Temporary names carry the id of the process that made them, so that a later
// run can tell what a run ended by SIGKILL left behind from what a running one
// still uses.
namespace Leftovers {

// This process's id, as the names carry it.
std::string ProcessTag();

// Removes the entries of `directory` named `prefix`, a process id, `separator`
// and six characters (as mkstemp fills them) whose process no longer runs;
// directories with all they hold. Returns how many it removed.
int RemoveOrphans(const std::string& directory, const std::string& prefix, char separator);

}  // namespace Leftovers
