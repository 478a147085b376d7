#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>

class ControlTexts;
class FileImage;
class HexView;
class MessageBoxes;
class StatusLine;
struct WorkerState;

// What the fill dialog's "确定" hands over: its three texts as typed and the
// check box that appends at the end of the file.
struct FillRequest {
    std::string address;  // hexadecimal
    std::string length;   // decimal, at most ten digits
    std::string data;     // hexadecimal, at most two digits
    bool appendAtEnd = false;
};

// What the dialog shows after a press.
struct FillOutcome {
    std::string dialogStatus;                // empty: the status label keeps its text
    std::optional<std::string> addressText;  // appending: the new end, for the next press
};

// The fill: one byte value written into a run of the work copy, the gap from the
// old end padded with 0xFF, then length, checksum (summed over the whole work
// copy), texts, scroll range and page refreshed. Window thread; refused while
// program or verify read the work copy.
class FileFill {
public:
    static constexpr const char* Title = "文件数据填充";
    static constexpr const char* InitialAddress = "0";
    static constexpr const char* InitialLength = "1";
    static constexpr const char* InitialStatus = "null";
    static constexpr const char* HexCharacterMessage = "请输入0~F之间的16进制字符！   ";
    static constexpr const char* DecimalCharacterMessage = "请输入0~9之间的10进制字符！   ";
    static constexpr const char* EmptyAddressMessage = "请输入要填充数据的起始地址！   ";
    static constexpr const char* EmptyLengthMessage = "请输入要填充数据的长度！   ";
    static constexpr const char* EmptyDataMessage = "请输入要填充的数据！   ";
    static constexpr const char* NotEditModeText = "文件处于非编辑模式，无法修改数据！";
    static constexpr const char* BusyMessage = "当前不能执行此操作！   ";
    static constexpr const char* OutOfRangeMessage = "填充长度超出范围！   ";
    static constexpr const char* FillingText = "文件填充中...";
    static constexpr const char* FinishedText = "文件填充结束...";
    static constexpr const char* FailedText = "文件填充失败...";
    static constexpr const char* TooLargeText = "文件过大,无法全部显示，但可以烧录！";
    // Rows from which the view cannot show the whole image after a fill.
    static constexpr uint32_t kDisplayRowLimit = 134217754;
    // Largest piece of one write.
    static constexpr size_t kPieceBytes = 8192;

    FileFill(FileImage& image, HexView& view, StatusLine& status, MessageBoxes& boxes, ControlTexts& texts,
             const WorkerState& state, std::function<bool()> editMode);

    // "确定": checks the texts in the dialog's order, then fills.
    FillOutcome Press(const FillRequest& request);

    // The address text for a ticked check box: the length in upper-case hex
    // without leading zeros (4096 -> "1000").
    std::string EndAddressText() const;

private:
    // Writes the gap and the run; false when a write failed.
    bool Write(uint64_t start, uint64_t count, uint8_t value);
    // Length, checksum and texts from what the work copy holds now; false when it
    // cannot be read back.
    bool TakeStockOfWorkCopy();

    FileImage& m_image;
    HexView& m_view;
    StatusLine& m_status;
    MessageBoxes& m_boxes;
    ControlTexts& m_texts;
    const WorkerState& m_state;
    std::function<bool()> m_editMode;
};

// The decimal length text as a number; nullopt above 4294967295.
std::optional<uint32_t> ReadFillLength(const std::string& text);
