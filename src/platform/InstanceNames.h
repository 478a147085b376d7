#pragma once

// Names of the two single-instance locks: this program's own (the window holds it
// alone, the command-line jobs share it) and its sibling program's.
namespace InstanceName {
inline constexpr const char* Sibling = "XJQT_Quenby Flash编程器.exe";
inline constexpr const char* Own = "XJQT_Tarlo Flash编程器.exe";
}  // namespace InstanceName
