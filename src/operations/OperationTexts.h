#pragma once

// Status, caption and box texts of the chip operations, exactly as the user sees them.
namespace OperationText {
inline constexpr const char* NoteTitle = "提示";
inline constexpr const char* ErrorTitle = "错误 ";

inline constexpr const char* FileNotOpen = "文件尚未打开...";
inline constexpr const char* FileNotOpenProgramBox = "文件尚未打开！     ";
inline constexpr const char* FileNotOpenBox = "文件尚未打开！    ";

inline constexpr const char* Erasing = "芯片擦除中...";
inline constexpr const char* EraseDone = "芯片擦除成功...";
inline constexpr const char* EraseFailed = "芯片擦除失败...";

inline constexpr const char* BlankCaption = "已查空%u%%";
inline constexpr const char* BlankFailed = "查空失败，请检查设备连接和芯片容量...";
inline constexpr const char* Blank = "芯片为空...";
inline constexpr const char* BlankBox = "芯片为空!   ";
inline constexpr const char* NotBlank = "芯片不为空!";
inline constexpr const char* NotBlankBox = "芯片不为空!   ";

inline constexpr const char* OverflowQuestion = "文件长度大于芯片存储量!      \r\n       继续烧录？";
inline constexpr const char* ProgramCaption = "已烧录%u%%";
inline constexpr const char* Programmed = "烧录成功...";
inline constexpr const char* ProgrammedOverflow = "烧录成功，溢出部分未烧录...";
inline constexpr const char* ProgrammedOverflowBox = "烧录成功，溢出部分未烧录！    ";
inline constexpr const char* ProgramFirstFailed = "烧录失败，请先擦除芯片...";
inline constexpr const char* ProgramFailed = "烧录失败，请检查设备连接和芯片容量...";

inline constexpr const char* ReadCaption = "已读取%u%%";
inline constexpr const char* ReadDone = "芯片读取成功...";
inline constexpr const char* ReadFailed = "读取失败，请检查设备连接和芯片容量...";

inline constexpr const char* VerifyCaption = "已校验%u%%";
inline constexpr const char* VerifyFailed = "校验失败，请检查设备连接和芯片容量...";
inline constexpr const char* Verified = "校验成功...";
inline constexpr const char* VerifiedOverflow = "校验成功,溢出部分未校验...";
inline constexpr const char* VerifiedOverflowBox = "校验成功，溢出部分未校验！   ";
inline constexpr const char* VerifySummary = "校验结束，共%d个错误";
inline constexpr const char* VerifySummaryOverflow = "校验结束，共%d个错误,溢出部分未校验";
inline constexpr const char* DifferenceLine1 = "%XH处错误! ";
inline constexpr const char* DifferenceLine2 = "文件数据:%2XH*片内数据:%2XH";
inline constexpr const char* DifferenceHint = "\r\n不再提示点击“否”,停止校验点击“取消”    ";

inline constexpr const char* AutoDone = "自动擦除、烧录、校验成功...";

inline constexpr const char* ChangedWriting = "正在差异烧录...";
inline constexpr const char* ChangedFallback = "芯片擦除块未知，改为自动烧录...";
inline constexpr const char* ChangedDone = "差异烧录成功，共%u个扇区，改写%u个...";
inline constexpr const char* ChangedDoneOverflow = "差异烧录成功，共%u个扇区，改写%u个，溢出部分未烧录...";
inline constexpr const char* ChangedEraseFailed = "扇区%XH擦除失败，请检查设备连接和芯片容量...";
inline constexpr const char* ChangedProgramFailed = "扇区%XH烧录失败，请检查设备连接和芯片容量...";
}  // namespace OperationText
