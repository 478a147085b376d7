#pragma once

// Texts of the command-line tool that the window has no counterpart for. Where
// the window says something, the tool says the same (OperationTexts, DeviceTexts).
namespace CliText {
inline constexpr const char* ProgramName = "xjqt-tarlo";
inline constexpr const char* DeviceLabel = "[编程器%d] ";
inline constexpr const char* ProgrammerBusy = "编程器%d正由另一个任务使用...";
inline constexpr const char* WindowRunning = "XJQT_Tarlo Flash编程器已经在运行！";
inline constexpr const char* SiblingRunning = "请关闭XJQT_Quenby Flash编程器！";
inline constexpr const char* DriverMissing = "文件丢失！ ";
inline constexpr const char* FileOpenFailed = "文件打开失败";
inline constexpr const char* OutputFailed = "文件保存失败: ";
inline constexpr const char* SystemFileRefused = "禁止修改系统文件！ ";
inline constexpr const char* WorkDirectoryFailed = "无法建立临时工作目录";
inline constexpr const char* OverflowRefused = "文件长度大于芯片存储量，未烧录（--allow-overflow 可继续）...";
inline constexpr const char* DifferencesOmitted = "其余错误不再列出（--max-differences）";
inline constexpr const char* UsageError = "命令行有误：";
inline constexpr const char* Remaining = "剩余";
}  // namespace CliText
