#pragma once

// Texts of the command-line tool that the window has no counterpart for. Where
// the window says something, the tool says the same (OperationTexts, DeviceTexts).
namespace CliText {
inline constexpr const char* ProgramName = "xjqt-tarlo";
inline constexpr const char* DeviceLabel = "[编程器%d] ";
inline constexpr const char* ProgrammerBusy = "编程器%d正由另一个任务使用...";
inline constexpr const char* SiblingRunning = "请关闭XJQT_Quenby Flash编程器！";
inline constexpr const char* DriverMissing = "文件丢失！ ";
inline constexpr const char* DriverUnusable = "不是可用的驱动库（无法加载）: ";
inline constexpr const char* DriverIncomplete = "驱动库缺少入口（";
inline constexpr const char* AccessDenied =
    "找到编程器，但没有权限打开它：请运行 scripts/install-udev-rule.sh 安装 udev 规则，然后重新插入编程器";
inline constexpr const char* WriteProtected =
    "芯片的保护位无法清除（状态寄存器被 WP 引脚锁定），请检查芯片的 WP 引脚";
inline constexpr const char* OutputLost = "标准输出写入失败，输出不完整";
inline constexpr const char* ErrorOutputLost = "标准错误写入失败，输出不完整";
inline constexpr const char* FileOpenFailed = "文件打开失败";
inline constexpr const char* OutputFailed = "文件保存失败: ";
inline constexpr const char* WorkDirectoryFailed = "无法建立临时工作目录: ";
inline constexpr const char* WorkDirectoryFull = "临时工作目录已满（请清理或设置 TMPDIR）: ";
inline constexpr const char* ImageEmpty = "文件为空（0字节），未操作芯片: ";
inline constexpr const char* SystemFileRefused = "禁止修改系统文件！ ";
inline constexpr const char* OverflowRefused = "文件长度大于芯片存储量，未烧录（--allow-overflow 可继续）...";
inline constexpr const char* DifferencesOmitted = "其余错误不再列出（--max-differences）";
inline constexpr const char* UsageError = "命令行有误：";
inline constexpr const char* Remaining = "剩余";
inline constexpr const char* Unknown = "未知";
inline constexpr const char* InputIsTerminal = "标准输入是终端：用管道或重定向（< 文件）提供映像数据";
inline constexpr const char* OutputIsTerminal = "标准输出是终端：用管道或重定向（> 文件）接收芯片数据";
inline constexpr const char* InputFailed = "标准输入读取失败，未操作芯片";
inline constexpr const char* InputSpoolFailed =
    "无法在临时工作目录保存标准输入的数据（请清理或设置 TMPDIR）: ";
inline constexpr const char* LogFailed = "日志文件打开失败: ";
inline constexpr const char* LogWriteFailed = "日志文件写入失败，记录不完整: ";
}  // namespace CliText
