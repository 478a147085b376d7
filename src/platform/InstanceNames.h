#pragma once

#include <string>

// Names of the two single-instance locks: this program's own (the window holds it
// alone; the command-line jobs never take it) and its sibling program's.
namespace InstanceName {
inline constexpr const char* Sibling = "XJQT_Quenby Flash编程器.exe";
inline constexpr const char* Own = "XJQT_Tarlo Flash编程器.exe";
}  // namespace InstanceName

// Lock name of programmer `index` (as the driver counts them). Whoever uses the
// programmer holds it alone: a job for its whole run, the window for one
// detection, operation or data-view look-up; between those the window lets it go.
inline std::string ProgrammerLockName(int index) {
    return "XJQT_Tarlo 编程器" + std::to_string(index);
}
