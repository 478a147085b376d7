#pragma once

// Texts of the connection checks. The detection boxes and the operation boxes
// differ in their exclamation marks and trailing blanks; both are kept as shown.
namespace DeviceText {
inline constexpr const char* NotConnected = "设备未连接...";
inline constexpr const char* NoChip = "设备已连接,未检测到芯片...";
inline constexpr const char* NoteTitle = "提示";

// Boxes of the chip operations.
inline constexpr const char* NotConnectedBox = "设备未连接！    ";
inline constexpr const char* NoChipBox = "设备已连接,未检测到芯片!   ";

// Detection with a box (F5).
inline constexpr const char* DetectNotConnectedBox = "设备未连接!    ";
// A programmer is attached but the user may not open it: said once, at the first detection that meets it.
inline constexpr const char* AccessDeniedBox =
    "找到编程器，但没有权限打开它！\r\n请运行 scripts/install-udev-rule.sh 安装 udev "
    "规则，然后重新插入编程器。    ";
inline constexpr const char* DetectNoChipBox = "设备已连接,未检测到芯片!    ";
inline constexpr const char* DetectedQuiet = "设备已连接，检测到%s芯片";
inline constexpr const char* DetectedLoud = "设备已连接，检测到%s芯片   ";
inline constexpr const char* DetectedBox = "设备已连接，并检测到芯片     \r\n芯片容量:%s ";
inline constexpr const char* ChipInfoTitle = "芯片信息";
}  // namespace DeviceText
