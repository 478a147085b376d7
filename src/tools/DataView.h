#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>

class AddressJump;
class Device;
class FileImage;
class MessageBoxes;
class StatusLine;

// What one look-up of the data view shows in its three labels.
struct DataViewResult {
    std::string fileText;  // two hex digits, "溢出" or "未知"
    std::string chipText;  // two hex digits or "未知"
    std::string status;    // file piece + chip piece + "..."
};

// The data view's look-up: the file's byte and the chip's byte at one address,
// side by side. Runs on the window thread; the chip byte is read over a
// connection of its own, opened and closed per look-up, and never while the
// worker runs a command (the connection is then the worker's).
class DataViewLookup {
public:
    static constexpr const char* InitialAddress = "0";
    static constexpr const char* InitialLabel = "null";
    static constexpr const char* HexCharacterMessage = "请输入0~F之间的16进制字符！   ";
    static constexpr const char* EmptyAddressMessage = "请输入要查看的地址！   ";
    static constexpr const char* FinishedStatus = "查看结束...";

    // `claim` takes the programmer for one look-up and returns what holds it, or
    // null when another program has it; empty: the programmer is always free.
    DataViewLookup(FileImage& image, Device& device, AddressJump& jump, StatusLine& status,
                   MessageBoxes& boxes, std::function<bool()> workerIdle,
                   std::function<std::shared_ptr<void>()> claim = {});

    // The "确定" button with the address text as typed (upper case, hex digits):
    // an empty text gets its box and no result.
    std::optional<DataViewResult> Press(const std::string& addressText);
    // One look-up at `address`.
    DataViewResult LookUp(uint32_t address);

private:
    FileImage& m_image;
    Device& m_device;
    AddressJump& m_jump;
    StatusLine& m_status;
    MessageBoxes& m_boxes;
    std::function<bool()> m_workerIdle;
    std::function<std::shared_ptr<void>()> m_claim;
};
